// The viewer page's built files, compiled into the command so that
// `batchplant serve` needs neither Node.js nor a network at run time.
#pragma once

#include <string_view>
#include <vector>

namespace batchplant {

struct EmbeddedAsset {
    std::string_view path;        // URL path below the site root, e.g. "/index.html", "/assets/index-3f2a.js"
    std::string_view contentType; // e.g. "text/html; charset=utf-8"
    std::string_view data;        // the file's bytes
    std::string_view gzip;        // the same, gzip-compressed when the page was built; empty when not worth it
};

// Every file of the built page. When the page could not be built (no npm at
// build time) this holds a single "/index.html" that says so.
const std::vector<EmbeddedAsset>& ViewerAssets();

} // namespace batchplant
