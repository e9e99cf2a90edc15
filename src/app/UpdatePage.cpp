#include "app/UpdatePage.h"

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <clocale>

#include "base/TextFormat.h"

namespace pv {

const char* const kTextNewerVersion =
    "A newer version of PortaVigilant is available!\n\nThis version is V%.2f, available is "
    "V%.2f, released on %s.\n\nSee %s for more information.";

namespace {

constexpr const char* kProjectName = "PortaVigilant";
constexpr size_t kMinimumLength = 21;
constexpr std::string_view kLineBreak = "<br";

// The page text ends at a NUL or at the first byte outside 7-bit ASCII.
std::string_view pageText(std::string_view bytes) {
    bytes = bytes.substr(0, kUpdatePageReadLimit);
    const auto end = std::find_if(bytes.begin(), bytes.end(),
                                  [](char c) { return static_cast<signed char>(c) < 1; });
    return bytes.substr(0, static_cast<size_t>(end - bytes.begin()));
}

// The text after the key up to the next "<br", without blanks. A key at the very start of the
// page does not count: the page always begins with markup.
std::string valueOf(std::string_view text, std::string_view key) {
    const size_t at = text.find(key);
    if (at == std::string_view::npos || at == 0) {
        return {};
    }
    const size_t from = at + key.size();
    const size_t end = text.find(kLineBreak, from);
    if (end == std::string_view::npos) {
        return {};
    }
    std::string value(text.substr(from, end - from));
    value.erase(std::remove(value.begin(), value.end(), ' '), value.end());
    return value;
}

// Read like atof, but always with a decimal point, whatever the user's locale says.
double versionNumber(std::string_view text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// printf in the "C" locale, so the versions read "V6.01" under a German locale too.
std::string formatInCLocale(double thisVersion, double available, const std::string& release,
                            const std::string& url) {
    locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    locale_t previous = c != nullptr ? uselocale(c) : nullptr;
    std::string text =
        formatText(kTextNewerVersion, thisVersion, available, release.c_str(), url.c_str());
    if (c != nullptr) {
        uselocale(previous);
        freelocale(c);
    }
    return text;
}

}  // namespace

std::optional<UpdatePage> parseUpdatePage(std::string_view bytes) {
    const std::string_view text = pageText(bytes);
    if (text.size() < kMinimumLength) {
        return std::nullopt;
    }
    UpdatePage page{valueOf(text, "Project:"), valueOf(text, "Version:"), valueOf(text, "Release:"),
                    valueOf(text, "URL:")};
    if (page.project != kProjectName || page.version.empty() || page.release.empty() ||
        page.url.empty()) {
        return std::nullopt;
    }
    return page;
}

std::optional<std::string> updateMessage(std::string_view pageBytes, const char* thisVersion) {
    const std::optional<UpdatePage> page = parseUpdatePage(pageBytes);
    if (!page) {
        return std::nullopt;
    }
    const double current = versionNumber(thisVersion);
    const double available = versionNumber(page->version);
    if (!(current < available)) {
        return std::nullopt;
    }
    return formatInCLocale(current, available, page->release, page->url);
}

}  // namespace pv
