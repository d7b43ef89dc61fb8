#include "renderer/frame_pass.h"

#include "renderer/gl_entries.h"
#include "renderer/uniforms.h"

namespace {

constexpr uint32_t kAllOutputs = (1u << kTargetsPerSet) - 1;

struct InputTexture {
    int32_t unit;
    GLenum target;
    const TextureSampling* sampling;
    uint32_t name;
};

constexpr int32_t kInputTextureCount = 5;

// Units 4 to 8, in binding order.
void listInputTextures(const RenderTargets* targets, const RendererSettings* settings,
                       InputTexture inputs[kInputTextureCount]) {
    inputs[0] = {UnitFont, GL_TEXTURE_2D, &settings->glyphAtlasSampling, targets->glyphAtlas};
    inputs[1] = {UnitGrayNoise2D, GL_TEXTURE_2D, &settings->grayNoise2DSampling, targets->noiseTextures[0]};
    inputs[2] = {UnitColorNoise2D, GL_TEXTURE_2D, &settings->colorNoise2DSampling, targets->noiseTextures[1]};
    inputs[3] = {UnitGrayNoise3D, GL_TEXTURE_3D, &settings->grayNoise3DSampling, targets->noiseTextures[2]};
    inputs[4] = {UnitColorNoise3D, GL_TEXTURE_3D, &settings->colorNoise3DSampling, targets->noiseTextures[3]};
}

void bindSampled(int32_t unit, GLenum target, uint32_t name, const TextureSampling& sampling) {
    GLX(glActiveTexture)(GL_TEXTURE0 + unit);
    glBindTexture(target, name);
    applySampling(target, sampling.filter, sampling.wrap, sampling.mipmaps);
    if (sampling.mipmaps) GLX(glGenerateMipmap)(target);
}

} // namespace

uint32_t declaredOutputs(int32_t program) {
    if (program <= 0) return kAllOutputs;
    GLint count = 0;
    GLX(glGetProgramInterfaceiv)
    (static_cast<GLuint>(program), GL_PROGRAM_OUTPUT, GL_ACTIVE_RESOURCES, &count);
    uint32_t outputs = 0;
    const GLenum properties[2] = {GL_LOCATION, GL_ARRAY_SIZE};
    for (GLint index = 0; index < count; ++index) {
        GLint values[2] = {-1, 0};
        GLX(glGetProgramResourceiv)
        (static_cast<GLuint>(program), GL_PROGRAM_OUTPUT, static_cast<GLuint>(index), 2, properties, 2,
         nullptr, values);
        // Built-in outputs such as gl_FragDepth have no location.
        for (GLint element = 0; values[0] >= 0 && element < values[1]; ++element)
            if (values[0] + element < kTargetsPerSet) outputs |= 1u << (values[0] + element);
    }
    return outputs;
}

void drawScenePass(RenderTargets* targets, int32_t program, float time, int32_t sceneIndex,
                   const ViewInput* view, const RendererSettings* settings) {
    const int32_t width = viewWidth();
    const int32_t height = viewHeight();
    const uint32_t frame = targets->frameCount;
    const int32_t writeSet = static_cast<int32_t>(frame & 1u);
    const int32_t readSet = 1 - writeSet;

    selectProgram(program);

    if (settings->bindRenderTargets)
        for (int32_t i = 0; i < kTargetsPerSet; ++i)
            bindSampled(UnitBackBuffer0 + i, GL_TEXTURE_2D, targets->targets[readSet][i],
                        settings->renderTargetSampling);

    InputTexture inputs[kInputTextureCount];
    listInputTextures(targets, settings, inputs);
    // An enabled texture whose creation failed has no name to bind.
    for (const InputTexture& input : inputs)
        if (input.sampling->enabled && input.name)
            bindSampled(input.unit, input.target, input.name, *input.sampling);

    if (program >= 0) {
        uploadBuiltInUniforms(program, time, frame, view);
        if (targets->parameterHook) targets->parameterHook(program, sceneIndex, time);
    }

    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, targets->framebuffer);
    glViewport(0, 0, width, height);
    if (settings->colorAttachmentCount > kTargetsPerSet) return;

    int32_t drawn = settings->useMultipleTargets ? settings->colorAttachmentCount : 1;
    if (drawn < 0) drawn = 0;
    // A driver may report an output the program declares but never writes; the scene table knows
    // better. Attachment 0 is what reaches the screen, so it is always drawn.
    const uint32_t outputs = targets->writtenOutputs ? targets->writtenOutputs : declaredOutputs(program);
    const uint32_t written = (outputs | 1u) & ((1u << drawn) - 1u);
    GLenum drawBuffers[kTargetsPerSet] = {};
    for (int32_t i = 0; i < drawn; ++i) {
        GLX(glFramebufferTexture)(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, targets->targets[writeSet][i], 0);
        drawBuffers[i] = (written & (1u << i)) ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    }
    GLX(glDrawBuffers)(drawn, drawBuffers);

    glRects(-1, -1, 1, 1);

    GLX(glBlitNamedFramebuffer)
    (targets->framebuffer, 0, 0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);

    for (int32_t i = 0; i < kTargetsPerSet; ++i) {
        GLX(glActiveTexture)(GL_TEXTURE0 + UnitBackBuffer0 + i);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    for (const InputTexture& input : inputs)
        if (input.sampling->enabled) {
            GLX(glActiveTexture)(GL_TEXTURE0 + input.unit);
            glBindTexture(input.target, 0);
        }
    selectProgram(0);

    // Unwritten pictures move into the set just written, where the next frame reads them.
    for (int32_t i = 0; i < kTargetsPerSet; ++i)
        if (!(written & (1u << i))) {
            uint32_t carried = targets->targets[readSet][i];
            targets->targets[readSet][i] = targets->targets[writeSet][i];
            targets->targets[writeSet][i] = carried;
        }

    ++targets->frameCount;
}

void applySwapInterval(const RendererSettings* settings) {
    if (!settings->swapControl) return;
    int interval;
    switch (settings->swapMode) {
    case 0:
        interval = -1;
        break;
    case 1:
        interval = 0;
        break;
    case 2:
        interval = 1;
        break;
    default:
        return;
    }
    GLX(wglSwapIntervalEXT)(interval);
}
