#pragma once

#include "host/memory/Design.h"
#include "standin/BoardView.h"

#include <QMainWindow>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;

namespace tagwright::standin {

// What the window asks of the editor session it shows: the file, saving, opening another
// design and ending. Saving fails with a host::Failure, opening with a DesignFileError;
// either leaves the session as it was.
class BoardSession {
  public:
    virtual ~BoardSession() = default;
    virtual bool unsaved() const = 0;
    virtual std::optional<std::filesystem::path> file() const = 0;
    virtual void save() = 0;
    virtual void saveAs(const std::filesystem::path& file) = 0;
    // Serves the design in `file` from now on and shows it through showDesign.
    virtual void open(const std::filesystem::path& file) = 0;
    // Ends the editor; whatever was to be saved has been.
    virtual void end() = 0;
};

// The stand-in editor's window: the board, a legend of its layers, counts and the pointer's
// position in the status bar, and the File menu of any editor.
class BoardWindow : public QMainWindow {
    Q_OBJECT
  public:
    enum class Answer { Save, Discard, Cancel };

    explicit BoardWindow(BoardSession& session, QWidget* parent = nullptr);

    void showDesign(std::shared_ptr<host::memory::Design> design);
    void designChanged(const host::memory::DesignChange& change);
    // The session saved (the window's Save, or a client's): the title says so.
    void sessionSaved();

    BoardView& view() { return *view_; }
    // The question asked before unsaved edits would be lost; tests answer it themselves.
    void setQuestion(std::function<Answer()> ask) { ask_ = std::move(ask); }
    // The file dialog of Open (empty: none chosen); tests choose themselves.
    void setOpenDialog(std::function<QString()> choose) { chooseOpen_ = std::move(choose); }

    void open();
    bool save();
    bool saveAs();
    // Closing asks first when the design holds unsaved edits.
    bool mayDropEdits();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::uint64_t revision() const;
    void showTitle();
    void showCounts();
    void showPointer(double x, double y);
    void showLegend();
    void tellFailure(const QString& what, const QString& why);

    BoardSession& session_;
    std::shared_ptr<host::memory::Design> design_;
    BoardView* view_;
    QLabel* counts_;
    QLabel* pointer_;
    QLabel* unit_;
    QListWidget* legend_;
    std::function<Answer()> ask_;
    std::function<QString()> chooseOpen_;
    // The counts follow a run a few times a second: text set anew lays the status bar out
    // anew, which would cost more than the board's own repaints.
    QTimer countsTimer_;
};

// "mil", "in", "mm", or the unit's code for any other.
QString unitName(std::int32_t unit);

} // namespace tagwright::standin
