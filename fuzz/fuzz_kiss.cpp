// libFuzzer entry for the KISS TNC: whatever a modem sends (broken escapes,
// endless frames, hostile AX.25 addresses) and whatever host frames arrive,
// decoding ends without reading or writing outside its buffers, a decoded
// frame survives a round trip, and the TNC keeps answering.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kiss/KissRig.h"

using namespace norva;
using namespace norva::kiss;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
    // The same bytes cut at a place the input chooses decode to the same frames.
    const std::size_t cut = data[0] % (in.size() + 1);
    KissDecoder whole;
    KissDecoder split;
    std::vector<KissFrame> a;
    std::vector<KissFrame> b;
    whole.feed(in, a);
    split.feed(in.substr(0, cut), b);
    split.feed(in.substr(cut), b);
    if (a.size() != b.size()) std::abort();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].data != b[i].data) std::abort();
        const auto f = decodeAx25(a[i].data);
        if (!f) continue;
        const auto again = decodeAx25(encodeAx25(*f));
        if (!again || again->type != f->type || again->info != f->info || again->digis.size() != f->digis.size())
            std::abort();
        (void)monitorHeader(*f);
    }
    // The whole TNC: the input as modem bytes, then as host frames.
    ManualClock clock;
    auto line = std::make_shared<test::ModemLine>();
    KissSettings s;
    s.myCall = "DA1AAA";
    s.channels = 4;
    KissTnc tnc(test::memOpener(line), s, clock);
    tnc.open(nullptr);
    line->toTnc.assign(in);
    tnc.service();
    tnc.write({reinterpret_cast<const std::uint8_t*>(in.data()), in.size()});
    std::uint8_t buf[512];
    while (tnc.read(buf) > 0) {
    }
    clock.advanceMs(600000);
    tnc.service();
    return 0;
}
