// Stub: replaced by the decoder.
#include "receive/cw_decoder.h"

namespace kb {

CwDecoder::CwDecoder(const MorseTable& morse) : morse_(morse) {}
void CwDecoder::startUp() {}
void CwDecoder::startMonitoring() {}
void CwDecoder::setThreshold(int) {}
void CwDecoder::setRightChannel(bool) {}
void CwDecoder::setUpperCase(bool) {}
void CwDecoder::decodeBuffer(const std::uint8_t*, int, std::string&) {}
int CwDecoder::envelopeLeft() const {
    return 0;
}
int CwDecoder::envelopeRight() const {
    return 0;
}

}  // namespace kb
