// Arbitrary bytes as a text file opened by the file mode or keybird-render: reading
// never crashes or hangs, its text is valid UTF-8 with "\n" line breaks only, and
// reading that text again as a plain file changes nothing. Bytes that begin as RTF go
// through the RTF extractor, which is also run on every input directly.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/cp1252.h"
#include "core/text_file.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void checkText(const std::string& text) {
    check(kb::isValidUtf8(text));
    check(text.find('\r') == std::string::npos);
    check(text.find('\0') == std::string::npos || text.size() > kb::BinaryProbeBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const kb::TextFileResult r = kb::readTextFile(input);
    if (r.status != kb::TextFileResult::Status::Ok) {
        check(r.text.empty());
        check(!kb::textFileRefusal(r.status).empty());
    } else {
        checkText(r.text);
        // The box's text saved as a plain file reads back as itself (unless it happens to
        // look like RTF, or holds a NUL the probe would take for binary data).
        if (!r.text.starts_with("{\\rtf") && !r.text.starts_with("\xEF\xBB\xBF") &&
            r.text.find('\0') == std::string::npos) {
            const kb::TextFileResult again = kb::readTextFile(r.text);
            check(again.status == kb::TextFileResult::Status::Ok && again.text == r.text);
        }
        const std::string played = kb::fileTextToPlay(r.text);
        check(played.size() >= r.text.size() / 4);
    }

    const std::string rtf = kb::extractRtfText(input);
    check(kb::isValidUtf8(rtf));
    check(rtf.find('\r') == std::string::npos);
    check(rtf.find('\0') == std::string::npos);
    return 0;
}
