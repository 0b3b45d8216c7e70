// SDL scancodes to the engine's key codes, which are numbered like Windows virtual keys.
#pragma once
#include <SDL.h>

int VirtualKeyOf(SDL_Scancode code);
