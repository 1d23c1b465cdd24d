// The view layer: host forms in real FLTK windows (the only code that knows FLTK).
#pragma once

#include "ui/FormView.h"
#include "ui/MessageBox.h"
#include "ui/ModalHook.h"
#include "ui/Screenshot.h"
