// Resource numbers of the start menu, shared by the program and its .rc file.
#pragma once

#define IDR_ICON 1
#define IDR_MANIFEST 1
#define IDR_BACKGROUND 101
#define IDR_HAND_POINTER 102
