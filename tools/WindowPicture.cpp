// Shows the window attached to an in-memory design read from a design file and saves a
// picture of it: tagwright_window_preview DESIGN.json OUT.png [PROGRESS.png]
// With a third file, a second picture: the window with the progress window of an add-labels
// run over it, the host slowed down so that the run takes a while.
#include "window/qt/WindowHarness.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

using namespace tagwright;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s DESIGN.json OUT.png [PROGRESS.png]\n", argv[0]);
        return 2;
    }
    // Messages are recorded, not shown: a pin without a name would stop the run at its
    // message, and nobody is there to read it.
    std::optional<test::WindowHarness> harness;
    try {
        harness.emplace(host::memory::loadDesign(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    window::qt::FormWindow& window = *harness->window;
    if (!window.form().Form_Load()) {
        return 1;
    }
    window.show();

    int status = 1;
    const auto save = [&status](const QPixmap& picture, const char* path) {
        status = picture.save(QString::fromLocal8Bit(path), "PNG") ? 0 : 1;
        if (status != 0) {
            std::fprintf(stderr, "cannot write %s\n", path);
        }
        return status == 0;
    };
    // Let the window be mapped and painted once before it is grabbed.
    QTimer::singleShot(500, &window, [&] {
        if (!save(window.grab(), argv[2]) || argc == 3) {
            QCoreApplication::exit(status);
            return;
        }
        // Every call takes 10 ms until the run is a few components in; then both windows are
        // taken, the progress window drawn where it stands over the window with an edge (the
        // system's frames are not part of either picture), and the run finishes at full speed.
        using Clock = std::chrono::steady_clock;
        Clock::time_point shownAt{};
        bool taken = false;
        harness->log->beforeCall = [&](const host::RecordedCall&) {
            if (taken) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QWidget* progress = window.progressWindow();
            if (!progress) {
                return;
            }
            if (shownAt == Clock::time_point{}) {
                shownAt = Clock::now();
            }
            if (Clock::now() - shownAt < std::chrono::milliseconds(2500)) {
                return;
            }
            taken = true;
            QPixmap picture = window.grab();
            QPainter painter(&picture);
            const QRect place(progress->geometry().topLeft() - window.geometry().topLeft(),
                              progress->size());
            painter.drawPixmap(place.topLeft(), progress->grab());
            painter.setPen(window.palette().color(QPalette::Shadow));
            painter.drawRect(place.adjusted(0, 0, -1, -1));
            painter.end();
            save(picture, argv[3]);
        };
        window.form().cmdAddLabel_Click();
        if (!taken && status == 0) {
            std::fprintf(stderr, "the run ended before its progress window was taken\n");
            status = 1;
        }
        QCoreApplication::exit(status);
    });
    app.exec();
    return status;
}
