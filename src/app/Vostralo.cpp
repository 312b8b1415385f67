// The program: starts the application with its one window and ends when the window closes.
#include "app/AppIcon.h"
#include "app/UVostralo.h"
#include "firebird/TIB_Connection.h"
#include "widgets/TGuardedApplication.h"

int main(int argc, char** argv) {
    TGuardedApplication application(argc, argv);
    application.setWindowIcon(AppIcon::Icon());
    FrmVostralo = new TFrmVostralo;
    QObject::connect(FrmVostralo->IB_Quibrel, &TIB_Connection::AttemptFinished,
                     &TGuardedApplication::InstallEndSignalHandlers);
    FrmVostralo->show();
    // An end signal may have arrived while the window was being shown (a message box of the
    // connection sequence runs its own event loop); the main loop is not started then.
    if (!application.EndRequested())
        application.exec();
    delete FrmVostralo; // closes the connection, rolling back an unfinished merge
    return 0;           // in every case
}
