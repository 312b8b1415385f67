#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Unificação do Caixa Diário"));
    window.setFixedSize(541, 142);
    window.show();
    app.exec();
    return 0;
}
