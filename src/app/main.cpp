// qxntupd.exe: the network updater of Tavi. Builds the window and runs the
// update inside its creation, then either closes at once (the application has
// been started) or leaves the window open with both logs until the user
// closes it.

#include <exception>
#include <memory>

#include "platform/Application.h"
#include "platform/NMHTTP.h"
#include "platform/System.h"
#include "platform/Window.h"
#include "updater/Texts.h"
#include "updater/Unit1.h"

namespace {

void CreateAndRun(qx::Application& application) {
    const std::unique_ptr<qx::System> system = qx::CreateSystem(application);
    // While a request waits, the window keeps painting, Cancel keeps working
    // and closing keeps being refused.
    qx::TNMHTTP http([&application] { application.ProcessMessages(); });
    qx::Form window(application);
    qx::TForm1 Form1(window, *system, http);
    window.SetEvents({[&Form1](bool& canClose) { Form1.FormCloseQuery(canClose); },
                      [&Form1] { Form1.FormClose(); }, [&Form1] { Form1.Button3Click(); }});

    // The create handler runs the whole update. An unexpected exception is
    // shown, and the program goes on with a window that can be closed.
    try {
        Form1.FormCreate();
    } catch (const std::exception& error) {
        application.ShowException(error);
    }

    if (Form1.LaunchRequested)
        window.Close();
    else
        application.Run();
}

} // namespace

int main() {
    qx::Application application(qx::texts::kAppTitle);
    try {
        CreateAndRun(application);
    } catch (const std::exception& error) {
        application.ShowException(error);
    }
    return 0;
}
