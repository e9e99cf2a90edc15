#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pv {

// The maker's update page names the newest version between simple keys, each value closed by a
// line break tag: "Project: PortaVigilant<br>Version: 6.10<br>Release: 01. 02. 2027<br>URL:
// ...<br>".

// The page is read once, at most this many bytes.
inline constexpr size_t kUpdatePageReadLimit = 1000;

struct UpdatePage {
    std::string project;
    std::string version;
    std::string release;
    std::string url;
};

// The four values of a well-formed page of this program; nothing for a short, malformed or
// foreign page.
std::optional<UpdatePage> parseUpdatePage(std::string_view bytes);

// The information text for the user when the page offers a newer version than thisVersion;
// nothing otherwise (also for any page that cannot be read).
std::optional<std::string> updateMessage(std::string_view pageBytes, const char* thisVersion);

extern const char* const kTextNewerVersion;

}  // namespace pv
