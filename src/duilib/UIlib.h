#pragma once
// Everything a window of the program needs from the skinned-window toolkit.
#include "platform/winuser.h"
#include "uibase.h"
#include "uicefbrowser.h"
#include "uicontrols.h"
#include "uidlgbuilder.h"
#include "uimanager.h"
#include "uimenu.h"
#include "uitray.h"
#include "uiwindow.h"
#include "uiwnd.h"
#include "uigifanim.h"
