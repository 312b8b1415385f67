#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;
class TMaskEdit;
class TqtvCurrencyEdit;
class TIB_Connection;
class TIB_Transaction;
class TIB_Query;
class TIB_DataSource;
class TIB_LookupCombo;

// The program's one window: the day-end cash merge. It owns every component of the program, the
// controls and the database components alike.
class TFrmVostralo : public QWidget {
    Q_OBJECT
public:
    explicit TFrmVostralo(QWidget* parent = nullptr);
    ~TFrmVostralo() override;

    // Components, in declaration order.
    TMaskEdit* MaskEdit1 = nullptr;
    TqtvCurrencyEdit* qtvCurrencyEdit1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    TIB_Connection* IB_Quibrel = nullptr;
    TIB_Transaction* IBTQuibrel = nullptr;
    TIB_Query* QExec = nullptr;
    TIB_LookupCombo* IB_LookupCombo1 = nullptr;
    QLabel* Label4 = nullptr;
    TIB_Query* TBFuncionarios = nullptr;
    TIB_DataSource* DSFuncionarios = nullptr;
    TIB_Transaction* IBTQExec = nullptr;

    // The window's handlers.
    void FormCreate(QObject* sender);
    void FormShow(QObject* sender);
    void Button1Click(QObject* sender);

    // The design's client size and the caption.
    static constexpr int kClientWidth = 541;
    static constexpr int kClientHeight = 142;
    static QString Caption();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateComponents();
    void CentreOnScreen();

    bool shown_ = false;
};

// The one window of the run.
extern TFrmVostralo* FrmVostralo;
