// Tooltips: one process-wide tooltip window shared by every skinned control that sets
// a tooltip (SkinControl::SetToolTip). Each control is registered once as a tool (tool rectangle
// = its client rectangle at registration); the window watches the control's mouse itself, shows
// the tip when the pointer rests inside the tool, wraps long texts at 1024 pixels and centres the
// tip below the control for tools added with atCursor false.
#pragma once

#include <QString>
#include <QWidget>

namespace sonaro::skin {

inline constexpr int kToolTipMaxWidth = 1024;

// The shared tooltip window; null before the first SetToolTip.
QWidget* SharedToolTipWindow();
// How many times a control was registered as a tool (1 once registered), and its tool's text.
int ToolTipToolCount(const QWidget* control);
QString ToolTipText(const QWidget* control);

}  // namespace sonaro::skin
