// qx_bench_download URL FILE: one download in file mode through the HTTP
// client component and the updater's own fetcher and progress handler, as a
// `Get` command makes it. Exit code 0 when the document was fetched.
#include <cstdio>

#include "QuietPlatform.h"
#include "platform/NMHTTP.h"
#include "updater/Unit1.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qx_bench_download URL FILE\n");
        return 2;
    }
    qx::bench::QuietWindow window;
    qx::bench::QuietSystem system;
    qx::TNMHTTP http([&window] { window.ProcessMessages(); });
    qx::TForm1 form(window, system, http);
    http.TimeOut = 60000;
    http.InputFileMode = true;
    http.Body = argv[2];
    return form.DownloadDocument(argv[1]) ? 0 : 1;
}
