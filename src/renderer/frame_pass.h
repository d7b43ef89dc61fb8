// The frame pass: one full-view rectangle drawn with a scene program into the render targets,
// which feed each frame's outputs back into the next.
#pragma once

#include "renderer/renderer.h"

#include <cstdint>

// Draws one frame: binds the previous frame's targets on units 0-3 and the enabled input textures
// on units 4-8, sets the built-in uniforms and calls the parameter hook (both only for a valid
// program), draws into the write set (frameCount mod 2), copies attachment 0 to the default
// framebuffer, unbinds everything and counts the frame. A colour attachment count above 4 stops
// the pass after binding the framebuffer: nothing is drawn and the frame is not counted.
//
// An attachment the frame does not write (not in targets->writtenOutputs; when that is 0, one at
// whose location the program declares no output; or one beyond the drawn count) is left out of the
// draw buffers and its picture is carried forward: the two sets exchange that target's names after
// the draw. So after every frame the set just written holds the newest picture of all four
// attachments, and a hand-over picture in attachment 2 survives any number of frames of a program
// that never writes outColor2.
void drawScenePass(RenderTargets* targets, int32_t program, float time, int32_t sceneIndex,
                   const ViewInput* view, const RendererSettings* settings);

// Bit i set when the program declares a fragment output at location i (0 to 3). A handle that is
// not a program (0 or negative) draws without a scene program, which writes every attachment.
uint32_t declaredOutputs(int32_t program);

// With swap control on, sets the interval of the swap mode (0 -> -1, 1 -> 0, 2 -> 1) through the
// "wglSwapIntervalEXT" slot; other modes set nothing. Run after every frame pass.
void applySwapInterval(const RendererSettings* settings);
