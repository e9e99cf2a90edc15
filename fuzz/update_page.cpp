// The update page as the maker's server might send it, or anything else. Only the first 1000
// bytes count; a page that is taken names this program and has four values without blanks.
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "app/UpdatePage.h"

using namespace pv;

namespace pv {
namespace {

bool sameValues(const std::optional<UpdatePage>& a, const std::optional<UpdatePage>& b) {
    if (!a || !b) {
        return !a && !b;
    }
    return a->project == b->project && a->version == b->version && a->release == b->release &&
           a->url == b->url;
}

bool plainValue(const std::string& value) {
    return !value.empty() && value.find(' ') == std::string::npos;
}

}  // namespace
}  // namespace pv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<UpdatePage> page = parseUpdatePage(bytes);
    PV_FUZZ_CHECK(pv::sameValues(page, parseUpdatePage(bytes.substr(0, kUpdatePageReadLimit))));
    if (page) {
        PV_FUZZ_CHECK(page->project == "PortaVigilant");
        PV_FUZZ_CHECK(pv::plainValue(page->version) && pv::plainValue(page->release) &&
                      pv::plainValue(page->url));
    }
    const std::optional<std::string> message = updateMessage(bytes, "6.01");
    if (message) {
        PV_FUZZ_CHECK(page && message->find(page->url) != std::string::npos);
    }
    return 0;
}
