#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

// The splash window (frmSplash) shown while the program loads: version, copyright, the
// edition's logo and catch phrase, and the loading log with the newest line first. Any
// key closes it early; later log lines then go nowhere.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    // "v.1.0.0" from the build's version.
    static QString versionText();
    // Caption 25 + " " + the edition title without its leading "Parlanto " + "!".
    static QString catchPhrase();

    // Puts a line on top of the loading log. The log box shows the change when events next
    // run, so thousands of lines between two frames cost no more than their own storage.
    void addStatusLine(const QString& line);
    // The whole log, newest line first.
    QString statusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_version = nullptr;
    QLabel* m_copyright = nullptr;
    QLabel* m_catchy[2] = {nullptr, nullptr};
    QLabel* m_loading = nullptr;
    QLabel* m_logo = nullptr;
    QPlainTextEdit* m_status = nullptr;

    void showNewestLines();
    QStringList m_lines; // oldest first: appending stays cheap
    bool m_showPending = false;
};
