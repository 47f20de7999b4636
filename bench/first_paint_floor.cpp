// The floor of the start-up measurement: a bare Qt Widgets window of the main window's size that,
// like the program started with TAPESTREL_QUIT_AFTER_FIRST_PAINT=1, prints "first-paint" at its
// first paint and quits. Time both whole processes side by side on the same display, e.g.
//   xvfb-run -a /usr/bin/time -v build/dev/bin/first_paint_floor
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class Window : public QWidget
{
protected:
    void paintEvent(QPaintEvent *event) override
    {
        QWidget::paintEvent(event);
        if (m_painted)
            return;
        m_painted = true;
        std::fputs("first-paint\n", stdout);
        std::fflush(stdout);
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    Window window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.resize(720, 690);
    window.show();
    return QApplication::exec();
}
