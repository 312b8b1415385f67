#include "app/UVostralo.h"

#include "controls/qtvCurrencyEdit.h"
#include "db/ConnectionStartup.h"
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_DataSource.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "merge/MergeCommand.h"
#include "merge/MergeStatement.h"
#include "merge/OperatorList.h"
#include "widgets/RegionalDate.h"
#include "widgets/TApplication.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TIB_LookupCombo.h"
#include "widgets/TMaskEdit.h"

#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

TFrmVostralo* FrmVostralo = nullptr;

namespace {

// "MS Sans Serif" stands in as Liberation Sans, at the same pixel heights.
const QString kFontFamily = QStringLiteral("Liberation Sans");

QFont windowFont() {
    QFont font(kFontFamily);
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont bold16() {
    QFont font(kFontFamily);
    font.setPixelSize(16);
    font.setBold(true);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void setTextColor(QWidget* w, const QColor& color) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    w->setPalette(palette);
}

QLabel* captionLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setFont(bold16());
    setTextColor(label, Qt::red);
    label->move(left, top);
    label->adjustSize(); // sizes itself to its text
    return label;
}

} // namespace

QString TFrmVostralo::Caption() {
    return QStringLiteral("Unificação do Caixa Diário");
}

TFrmVostralo::TFrmVostralo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FrmVostralo"));
    setWindowTitle(Caption());
    setFixedSize(kClientWidth, kClientHeight); // the user cannot resize it
    setFont(windowFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button)); // button face
    setPalette(palette);
    setAutoFillBackground(true);
    CreateComponents();
    FormCreate(this);
}

TFrmVostralo::~TFrmVostralo() {
    if (FrmVostralo == this)
        FrmVostralo = nullptr;
    // The connection closes with the window (errors ignored); a merge transaction still
    // started after a failed merge is rolled back first.
    try {
        if (IBTQExec && IBTQExec->Started())
            IBTQExec->Rollback();
    } catch (const std::exception&) {
    }
    try {
        if (IB_Quibrel)
            IB_Quibrel->Close();
    } catch (const std::exception&) {
    }
}

void TFrmVostralo::CreateComponents() {
    // Creation order as the window stores it.
    Label2 = captionLabel(this, QStringLiteral("Data Mov."), 312, 45);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = captionLabel(this, QStringLiteral("Troco Inicial"), 432, 45);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = captionLabel(this, QStringLiteral("Operador de Caixa"), 16, 41);
    Label4->setObjectName(QStringLiteral("Label4"));

    MaskEdit1 = new TMaskEdit(this);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setGeometry(304, 66, 113, 28);
    MaskEdit1->setFont(bold16());
    MaskEdit1->SetEditMask(QStringLiteral("!99/99/0000;1;_"));
    MaskEdit1->SetMaxLength(10);

    qtvCurrencyEdit1 = new TqtvCurrencyEdit(this);
    qtvCurrencyEdit1->setObjectName(QStringLiteral("qtvCurrencyEdit1"));
    qtvCurrencyEdit1->setGeometry(424, 66, 113, 28);
    qtvCurrencyEdit1->setFont(bold16());
    qtvCurrencyEdit1->SetDisplayFormat(QStringLiteral("R$ 0.00;(R$ 0.00)"));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 0, 529, 41);
    GroupBox1->setFocusPolicy(Qt::NoFocus);
    Label1 =
        new QLabel(QStringLiteral("Esta rotina deve ser executada no final de turno de cada caixa"),
                   GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 13, 513, 20);
    Label1->setFont(bold16());
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    setTextColor(Label1, QColor(0x00, 0x00, 0x80)); // navy

    Button1 = new QPushButton(QStringLiteral("Unificar o Caixa"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(328, 106, 209, 29);
    Button1->setFont(bold16());
    Button1->setAutoDefault(false); // neither the default nor the cancel button
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this,
            [this] { TApplication::Guard([this] { Button1Click(Button1); }); });

    IB_LookupCombo1 = new TIB_LookupCombo(this);
    IB_LookupCombo1->setObjectName(QStringLiteral("IB_LookupCombo1"));
    IB_LookupCombo1->setGeometry(8, 66, 289, 28);
    IB_LookupCombo1->setFont(bold16());
    setTextColor(IB_LookupCombo1, Qt::black);

    IB_Quibrel = new TIB_Connection(this);
    IB_Quibrel->setObjectName(QStringLiteral("IB_Quibrel"));
    IBTQuibrel = new TIB_Transaction(this);
    IBTQuibrel->setObjectName(QStringLiteral("IBTQuibrel"));
    QExec = new TIB_Query(this);
    QExec->setObjectName(QStringLiteral("QExec"));
    TBFuncionarios = new TIB_Query(this);
    TBFuncionarios->setObjectName(QStringLiteral("TBFuncionarios"));
    DSFuncionarios = new TIB_DataSource(this);
    DSFuncionarios->setObjectName(QStringLiteral("DSFuncionarios"));
    IBTQExec = new TIB_Transaction(this);
    IBTQExec->setObjectName(QStringLiteral("IBTQExec"));

    // References between components, resolved once all of them exist.
    const ConnectionStartup::Settings designTime =
        ConnectionStartup::Defaults(ConnectionStartup::ExecutableFolder());
    IB_Quibrel->SetServer(designTime.server);
    IB_Quibrel->SetPath(designTime.path);
    IB_Quibrel->SetSQLDialect(3);
    IB_Quibrel->SetDefaultTransaction(IBTQuibrel);
    IBTQuibrel->SetIB_Connection(IB_Quibrel);
    IBTQuibrel->SetAutoCommit(true);
    IBTQuibrel->SetIsolation(tiCommitted);
    IBTQExec->SetIB_Connection(IB_Quibrel);
    IBTQExec->SetIsolation(tiCommitted);
    QExec->SetIB_Connection(IB_Quibrel);
    QExec->SetIB_Transaction(IBTQExec);
    QExec->SetSQL(MergeStatement::Lines());
    TBFuncionarios->SetIB_Connection(IB_Quibrel);
    TBFuncionarios->SetSQL(OperatorList::SqlLines());
    DSFuncionarios->SetDataset(TBFuncionarios);
    IB_LookupCombo1->SetDataSource(DSFuncionarios);
    IB_LookupCombo1->SetDisplayField(QStringLiteral("NOME"));
    IB_LookupCombo1->SetShowButton(true);
    IB_LookupCombo1->SetDefaultRowHeight(22);

    // Tab order: operator, date, opening change, button.
    IB_LookupCombo1->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(IB_LookupCombo1, MaskEdit1);
    setTabOrder(MaskEdit1, qtvCurrencyEdit1);
    setTabOrder(qtvCurrencyEdit1, Button1);
    IB_LookupCombo1->setFocus(Qt::OtherFocusReason);
}

void TFrmVostralo::FormCreate(QObject* /*sender*/) {
    MaskEdit1->SetText(RegionalDate::DateToStr(QDate::currentDate(), QLocale()));
}

void TFrmVostralo::FormShow(QObject* /*sender*/) {
    const ConnectionStartup::Settings settings =
        ConnectionStartup::ReadSettings(ConnectionStartup::ExecutableFolder());
    bool connected = false;
    {
        TBusyCursor busy;
        connected = ConnectionStartup::Connect(*IB_Quibrel, settings);
    }
    if (!connected) {
        TApplication::ShowMessage(QStringLiteral("Falha na conexão com o banco de dados!!!"));
        // The request to close is queued: the window still shows for an instant.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    TBusyCursor busy;
    TBFuncionarios->Open();
}

void TFrmVostralo::Button1Click(QObject* /*sender*/) {
    MergeCommandParts parts;
    parts.button = Button1;
    parts.dateField = MaskEdit1;
    parts.operators = TBFuncionarios;
    parts.openingChange = qtvCurrencyEdit1;
    parts.merge = QExec;
    parts.mergeTransaction = IBTQExec;
    parts.window = this;
    RunMergeCommand(parts);
}

void TFrmVostralo::CentreOnScreen() {
    QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = frameGeometry().size();
    move(area.x() + (area.width() - size.width()) / 2,
         area.y() + (area.height() - size.height()) / 2);
}

void TFrmVostralo::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!shown_) {
        shown_ = true;
        TApplication::Guard([this] { FormShow(this); });
    }
    CentreOnScreen();
    activateWindow();
}
