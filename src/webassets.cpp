// The explorer page's files (HTML, script, styles, uPlot), embedded in the binary at build time.
#include "webassets.h"

const WebAsset* FindWebAsset(const std::string& path) {
    // A handful of assets: a straight search costs less than building any index.
    for (std::size_t k = 0; k < kWebAssetCount; ++k)
        if (path == kWebAssets[k].path) return &kWebAssets[k];
    return nullptr;
}
