#include "shell/kelvoraapplication.h"
#include "shell/messages.h"
#include "shell/theme.h"
#include "app/kelvorau.h"

int main(int argc, char** argv)
{
    KelvoraApplication app(argc, argv);
    if (!applyTheme(app))
        Messages::error(QStringLiteral("თემა „Metropolis UI Green“ ვერ ჩაიტვირთა; პროგრამა სისტემის იერით გაგრძელდება."));
    TKelvora* main = TKelvora::createWindows();
    main->showMaximized();
    const int rc = app.exec();
    delete main;
    return rc;
}
