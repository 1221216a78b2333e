// The skin toolkit: PNG-skinned windows and controls drawn with per-pixel
// alpha, an animated image window and tooltips.
//
//   skin::InitialiseSkinRuntime();          // once, at start-up
//   skin::SkinWindow window;                // a layered window from a PNG background
//   window.Attach(mainWindow);
//   window.SetBackImageData(assets::Bytes("main_skin.png"));
//   skin::SkinTextBox box;  box.Bind(edit);  box.SetBorderColor(Rgb(32, 124, 207));
//   skin::SkinButton button;  button.Bind(pushButton);  button.SetImageData(normal, over);
//   window.AdoptControls();                 // the window now draws its skinned controls
#pragma once

#include "skin/animated_image.h"
#include "skin/image.h"
#include "skin/props.h"
#include "skin/runtime.h"
#include "skin/skin_control.h"
#include "skin/skin_text_box.h"
#include "skin/skin_window.h"
#include "skin/tooltips.h"
