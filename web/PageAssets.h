#pragma once
// The files of the page (HTML, CSS, scripts), compiled into the program from web/page/.
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kaptiv::web {

struct EmbeddedAsset {
    const char* path; // "/index.html"
    const unsigned char* data;
    size_t size;
};

std::span<const EmbeddedAsset> PageAssets();

struct AssetView {
    std::string_view body;
    std::string_view contentType;
};

// The asset served at `path` ("/" is the page itself); nullopt for anything else.
std::optional<AssetView> FindPageAsset(std::string_view path);

// Content type from the file name's extension; application/octet-stream if unknown.
std::string_view ContentTypeFor(std::string_view path);

} // namespace kaptiv::web
