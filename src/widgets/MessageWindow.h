#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The program's own message window (frmMsgBox): a modal message confirmed with OK, or a
// modeless status box that the caller shows while it works and closes itself. Status
// boxes are made shorter so that the OK button lies outside them.
class MessageWindow : public QDialog
{
    Q_OBJECT
public:
    // The shared instance, created on first use.
    static MessageWindow* instance();
    // Closes and destroys the shared instance if it exists; never fails.
    static void unload();
    static bool isShown();

    // Modal message; returns when the learner presses OK.
    static void showModal(const QString& text, int fontPointSize = 0, QWidget* parent = nullptr);
    // Modeless status box of the given height in twips (2000, 1800 or 1500).
    static void showStatus(const QString& text, int heightTwips, int fontPointSize = 0,
                           const QString& title = QString());
    // Replaces the text of a shown status box (progress of the loaders).
    static void setStatusText(const QString& text);

    QLabel* lblMsg() const { return m_label; }
    QPushButton* btnOK() const { return m_ok; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    explicit MessageWindow(QWidget* parent = nullptr);
    void forget();
    QLabel* m_label = nullptr;
    QPushButton* m_ok = nullptr;
};
