// A text box for the keyboard output tests and benchmark. It announces its
// window, says when it has the keyboard focus, and when F12 arrives prints the
// text of the keys typed since the last F12 ("[F13]" for a function key) and
// what the box holds, both as hex of the UTF-8 bytes, then empties itself. It
// ends when its input closes.

#include <unistd.h>
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QWindow>
#include <cstdio>

namespace {

void PrintLine(const QByteArray& Line) {
    std::fwrite(Line.constData(), 1, static_cast<std::size_t>(Line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class TTextBox final : public QPlainTextEdit {
protected:
    void keyPressEvent(QKeyEvent* Event) override {
        if (Event->key() == Qt::Key_F12) {
            PrintLine("typed " + FTyped.toUtf8().toHex());
            PrintLine("box " + toPlainText().toUtf8().toHex());
            FTyped.clear();
            clear();
            return;
        }
        if (Event->key() >= Qt::Key_F1 && Event->key() <= Qt::Key_F35) {
            FTyped += QStringLiteral("[F%1]").arg(Event->key() - Qt::Key_F1 + 1);
        }
        FTyped += Event->text();
        QPlainTextEdit::keyPressEvent(Event);
    }
    void focusInEvent(QFocusEvent* Event) override {
        QPlainTextEdit::focusInEvent(Event);
        PrintLine("focused");
    }

private:
    QString FTyped;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TTextBox box;
    box.resize(400, 200);
    box.show();
    while (box.windowHandle() == nullptr || !box.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    PrintLine("window " + QByteArray::number(static_cast<qulonglong>(box.winId())));
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[256];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    return QApplication::exec();
}
