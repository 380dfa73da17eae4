// Pixel sizes made for 96 DPI, scaled to the screen's DPI (the program is system-DPI aware).
#pragma once

int ScaleToScreenDpi(int pixelsAt96Dpi);
