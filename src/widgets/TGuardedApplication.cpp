#include "widgets/TGuardedApplication.h"

#include "widgets/TApplication.h"

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        TApplication::ShowException(e);
    } catch (...) {
        TApplication::ShowErrorText(QStringLiteral("Erro desconhecido"));
    }
    return false;
}
