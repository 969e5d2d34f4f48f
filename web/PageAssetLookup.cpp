#include "web/PageAssets.h"

namespace kaptiv::web {

std::string_view ContentTypeFor(std::string_view path) {
    struct Type {
        std::string_view extension;
        std::string_view contentType;
    };
    static constexpr Type kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".svg", "image/svg+xml"},
        {".json", "application/json"},
    };
    for (const auto& type : kTypes)
        if (path.size() >= type.extension.size() && path.ends_with(type.extension))
            return type.contentType;
    return "application/octet-stream";
}

std::optional<AssetView> FindPageAsset(std::string_view path) {
    if (path == "/")
        path = "/index.html";
    for (const auto& asset : PageAssets())
        if (path == asset.path)
            return AssetView{{reinterpret_cast<const char*>(asset.data), asset.size}, ContentTypeFor(path)};
    return std::nullopt;
}

} // namespace kaptiv::web
