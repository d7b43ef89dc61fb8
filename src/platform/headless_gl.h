// A GL 4.5 compatibility context with no window, for tools and tests.
#pragma once

// Creates the context and makes it current on the calling thread; 1 on success, 0 otherwise.
// `width` x `height` is the size of its default framebuffer (a pbuffer).
int openHeadlessGl(int width, int height);
void closeHeadlessGl();
// Version and renderer strings of the open context ("" when none is open).
const char* headlessGlDescription();
