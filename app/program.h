// The program's entry and its program-wide state.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/tray.h"
#include "skin/animated_image.h"
#include "skin/skin_control.h"
#include "skin/skin_text_box.h"
#include "skin/skin_window.h"
#include "ui/winproc.h"

namespace sonaro::app {

// The program-wide objects and values, in construction order; everything starts at 0 / empty /
// unattached and lives until the clean-up.
struct ProgramState {
  TrayRecord trayRecord;
  skin::SkinWindow mainSkin;
  skin::SkinTextBox statusBoxSkin;
  skin::SkinTextBox stationBoxSkin;
  skin::SkinButton closeButtonSkin;
  skin::SkinButton minimiseButtonSkin;
  skin::SkinButton maximiseButtonSkin;
  skin::SkinButton panelButtonSkin;
  skin::SkinButton dedicationButtonSkin;
  skin::AnimatedImageWindow mainAnimation;

  // Event type standing for the shell's "TaskbarCreated" broadcast.
  int taskbarCreatedMessage = 0;
  // The window that owns the tray icon (the Main window).
  QPointer<QWidget> trayWindow;
  // The Main window's procedure from before the tray procedure was installed; 0 while the tray
  // procedure is not installed.
  ui::WndProc savedWindowProc = nullptr;
  // Receives the tray icon's mouse messages; null means none.
  void (*trayCallback)(int mouseMessage) = nullptr;
  // Minimised to the taskbar for want of a tray; its restore re-creates the animation.
  bool minimisedToTaskbar = false;
  // When the tray that the Main window was hidden in went away (0: it was not hidden in one).
  // A tray back soon after (a screen unlock) takes the window back in.
  qint64 trayLostAtMs = 0;
};

// The program-wide state; valid between phase 1 of start-up and the clean-up.
ProgramState& State();

// Start-up, message loop and clean-up. Reads no arguments of its own (Qt takes its own).
int Run(int argc, char** argv);

// Phase 2 of start-up without the window: the set-up steps in order. Exposed for tests.
void RunSetUpSteps();

}  // namespace sonaro::app
