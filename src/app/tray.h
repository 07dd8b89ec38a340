#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

#include "app/phase.h"
#include "app/tray_icons.h"

class QMenu;

namespace vantorel {

class FileBrowser;
class PreferenceStore;
class Presenter;
class RecordingFlow;
class TrayMenu;
struct MenuEntry;

// The program's item in the panel (StatusNotifierItem or XEmbed, whichever the panel speaks)
// and its menu. It follows the recording flow: its symbol and tooltip show the phase and the
// time recorded, and its menu's choices become the flow's toggle, settings written to the
// store, or a request to quit. Main thread only.
class Tray final : public QObject {
    Q_OBJECT

  public:
    Tray(RecordingFlow& flow, PreferenceStore& store, Presenter& presenter,
         FileBrowser& fileBrowser);
    ~Tray() override;

    QMenu* menu() const;
    QString toolTip() const { return icon_.toolTip(); }

  signals:
    void quitRequested();

  public slots:
    // Reads the store each time rather than keeping values: the preference file may be edited
    // by hand while the program runs.
    void refreshMenu();

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void phaseChanged(Phase phase);
    void elapsedChanged(qint64 seconds);
    void setLook(TraySymbol symbol, const QString& toolTip);
    void drawIcon();
    void perform(const MenuEntry& entry);
    void openFolder();
    void chooseFolder();

    RecordingFlow& flow_;
    PreferenceStore& store_;
    Presenter& presenter_;
    FileBrowser& fileBrowser_;
    std::unique_ptr<TrayMenu> menu_;  // outlives the icon, which opens it
    QSystemTrayIcon icon_;
    TraySymbol symbol_ = TraySymbol::ring;
};

}  // namespace vantorel
