// The viewer's assets when the page could not be built (no npm at build
// time): one page that says so, while the JSON API still works.

#include "ViewerAssets.h"

namespace batchplant {

const std::vector<EmbeddedAsset>& ViewerAssets()
{
    static const std::vector<EmbeddedAsset> assets = {
        {"/index.html",
         "text/html; charset=utf-8",
         "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>batchplant viewer</title></head>\n"
         "<body><h1>batchplant viewer</h1>\n"
         "<p>The viewer page was not built into this program (npm was not found when it was built). "
         "The JSON API under <a href=\"/api/model\">/api/</a> is served all the same.</p>\n"
         "</body></html>\n",
         {}},
    };
    return assets;
}

} // namespace batchplant
