#pragma once
// Everything platform/win offers, for code that wants the whole window
// system and drawing layer in one include.
#include "platform/win/Display.h"
#include "platform/win/GdiObject.h"
#include "platform/win/HandleTable.h"
#include "platform/win/Input.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"
#include "platform/win/Metrics.h"
#include "platform/win/Monitors.h"
#include "platform/win/Paint.h"
#include "platform/win/Region.h"
#include "platform/win/Sound.h"
#include "platform/win/Styles.h"
#include "platform/win/Surface.h"
#include "platform/win/Types.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurface.h"
