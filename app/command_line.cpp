#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kb {

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine cl;
    const std::size_t n = std::min<std::size_t>(arguments.size(), 3);
    for (std::size_t k = 0; k < n; ++k) {
        std::string a = arguments[k];
        std::transform(a.begin(), a.end(), a.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (a.size() == 2 && a[0] == '/' &&
            std::string_view("EFDIPS").find(a[1]) != std::string_view::npos) {
            cl.language = a[1];
        } else if (a.size() == 5 && a.starts_with("/COM") && a[4] >= '1' && a[4] <= '4') {
            cl.comPort = a[4] - '0';
        } else if (a.size() > 2 && a[1] == '=') {
            int v = 0;
            const char* first = a.data() + 2;
            const char* last = a.data() + a.size();
            auto [ptr, ec] = std::from_chars(first, last, v);
            // A number that does not parse as a whole leaves the speed alone.
            if (ec == std::errc() && ptr == last) cl.speed = v;
        }
    }
    return cl;
}

}  // namespace kb
