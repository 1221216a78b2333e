// Standard controls that colour themselves, and edit boxes that show their window's
// background picture through them.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "ui/catalogue_types.h"

namespace sonaro::skin {

// Start-up: records the module handle and registers the recoloured classes "mybut", "MyTool"
// and "MySt" (push button, tool bar and static label that fill themselves with a per-window
// colour before their own painting).
void RegisterRecolouredClasses();
bool RecolouredClassesRegistered();
quintptr ModuleHandle();

// Makes a control of a registered recoloured class; null for any other class name or before
// registration.
QWidget* CreateRecolouredControl(const char* className, QWidget* parent);
// The colour table: a window's own fill colour; windows without a record use the button face.
void SetRecolouredColour(QWidget* window, ui::Colour colour);

// Gives the edit box (window ID, unit ID) a background cut from its window's picture and,
// when readOnly is given and true, makes it refuse typing and pasting. Calling it again only
// rebuilds the background.
void MakeTransparent(uint32_t windowId, uint32_t unitId, const QByteArray& picture,
                     std::optional<bool> readOnly = std::nullopt);

// How far inside its catalogue rectangle an edit box's client area starts, by border style.
int InsetForBorderStyle(int code);
// The background of an edit box: the part (x, y, w, h) of the picture, button face elsewhere.
QImage BuildBackground(const QByteArray& picture, int x, int y, int w, int h);
// Whether the box refuses typing and pasting.
bool IsReadOnlyTransparent(const QWidget* box);

}  // namespace sonaro::skin
