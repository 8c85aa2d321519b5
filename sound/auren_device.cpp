// The OpenAL device: enumeration and choice, the buffer-queue and pitch tests
// a device must pass, source counting, and the error checks every OpenAL call
// is followed by.

#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "sound/auren_internal.h"

#define AUREN_BUFFER_TEST_BUFFERS 7
#define AUREN_BUFFER_TEST_FRAMES 441

static const char *__al_error_text(ALenum error)
{
    const ALchar *text = alGetString(error);
    return text ? text : "unknown error";
}

bool __auren_check_error(const char *func, const char *file, int line, bool loud)
{
    ALenum error = alGetError();
    if (error == AL_NO_ERROR) return false;
    do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE,
           "**************************AUREN********************\nerror encountered:");
    do_log(LOG_CRITICAL, LOG_TO_ALL, "auren_get_error: %s", __al_error_text(error));
    do_log(LOG_CRITICAL, LOG_TO_FILE, "auren: error: %d", error);
    uint8_t outputs = loud ? LOG_TO_ALL : (LOG_TO_DEBUGGER | LOG_TO_FILE);
    const char *name = nullptr;
    switch (error) {
    case AL_INVALID_ENUM: name = "AL_INVALID_ENUM"; break;
    case AL_INVALID_NAME: name = "AL_INVALID_NAME"; break;
    case AL_INVALID_OPERATION: name = "AL_INVALID_OPERATION"; break;
    case AL_INVALID_VALUE: name = "AL_INVALID_VALUE"; break;
    default: break;
    }
    if (name) do_log(LOG_WARNING, outputs, "%s() BUG at file \"%s\", line %i: %s!", func, file, line, name);
    return true;
}

bool __auren_check_context_error(ALCdevice *device, const char *func, const char *file, int line)
{
    ALCenum error = alcGetError(device);
    const char *name = nullptr;
    switch (error) {
    case ALC_NO_ERROR: return false;
    case ALC_INVALID_DEVICE: name = "ALC_INVALID_DEVICE"; break;
    case ALC_INVALID_CONTEXT: name = "ALC_INVALID_CONTEXT"; break;
    case ALC_INVALID_ENUM: name = "ALC_INVALID_ENUM"; break;
    case ALC_INVALID_VALUE: name = "ALC_INVALID_VALUE"; break;
    default: break;
    }
    if (name)
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s() BUG at file \"%s\", line %i: %s!", func, file, line,
               name);
    else
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "%s() BUG at file \"%s\", line %i: UNKNOWN ALC error code: %d!", func, file, line, error);
    return true;
}

static bool __auren_open_device(const char *name)
{
    ASSERT(auren_system.device == NULL);
    ASSERT(auren_system.context == NULL);
    ALCdevice *device = alcOpenDevice(name);
    if (!device) {
        __auren_check_context_error(nullptr, __func__, __FILE__, __LINE__);
        do_log(LOG_WARNING, LOG_TO_FILE, "auren_choose_device: no sound device available.. exiting");
        return false;
    }
    ALCcontext *context = alcCreateContext(device, nullptr);
    if (!context) {
        do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_choose_device: context failed.");
        alcCloseDevice(device);
        return false;
    }
    if (!alcMakeContextCurrent(context) || __auren_check_context_error(device, __func__, __FILE__, __LINE__)) {
        do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_choose_device: make context current failed.");
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        alcCloseDevice(device);
        return false;
    }
    auren_system.device = device;
    auren_system.context = context;
    return true;
}

void __auren_close_device()
{
    ASSERT(auren_system.device != NULL);
    ASSERT(auren_system.context != NULL);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(auren_system.context);
    alcCloseDevice(auren_system.device);
    auren_system.device = nullptr;
    auren_system.context = nullptr;
}

// Queues buffers on a source, plays, stops and unqueues them again.
static bool __auren_buffer_test()
{
    alGetError();
    ALuint source = 0;
    ALuint buffers[AUREN_BUFFER_TEST_BUFFERS] = {};
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) return false;
    alSource3f(source, AL_POSITION, 0, 0, 0);
    alSource3f(source, AL_VELOCITY, 0, 0, 0);
    alSource3f(source, AL_DIRECTION, 0, 0, 0);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    bool ok = alGetError() == AL_NO_ERROR;
    bool made = false;
    if (ok) {
        alGenBuffers(AUREN_BUFFER_TEST_BUFFERS, buffers);
        made = ok = alGetError() == AL_NO_ERROR;
        if (!ok)
            do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "\t__buffer test: this system cannot create buffers");
    }
    if (ok) {
        static const int16_t silence[AUREN_BUFFER_TEST_FRAMES] = {};
        for (ALuint b : buffers) alBufferData(b, AL_FORMAT_MONO16, silence, sizeof(silence), 44100);
        alSourceQueueBuffers(source, AUREN_BUFFER_TEST_BUFFERS, buffers);
        ok = alGetError() == AL_NO_ERROR;
        if (!ok)
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "\t__buffer test: this system cannot queue buffers");
    }
    if (ok) {
        alSourcePlay(source);
        alSourceStop(source);
        ALint queued = 0;
        alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
        for (ALint i = 0; i < queued && i < AUREN_BUFFER_TEST_BUFFERS; i++) {
            ALuint b = 0;
            alSourceUnqueueBuffers(source, 1, &b);
        }
        ok = alGetError() == AL_NO_ERROR && queued == AUREN_BUFFER_TEST_BUFFERS;
    }
    alSourcei(source, AL_BUFFER, 0);
    alDeleteSources(1, &source);
    if (made) alDeleteBuffers(AUREN_BUFFER_TEST_BUFFERS, buffers);
    if (alGetError() != AL_NO_ERROR) ok = false;
    if (ok) do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "\t__buffer test: this system supports buffer queues");
    return ok;
}

static bool __test_pitch_shift()
{
    alGetError();
    ALuint source = 0;
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR)
        log_fault_reason(__func__, __FILE__, __LINE__, "\"__test_pitch_shift: failed generating source\"");
    alSourcef(source, AL_PITCH, 0.5f);
    bool ok = alGetError() == AL_NO_ERROR;
    alDeleteSources(1, &source);
    alGetError();
    return ok;
}

static bool __auren_try_device(const char *name)
{
    if (!__auren_open_device(name)) return false;
    bool queues = __auren_buffer_test();
    bool pitch = queues && __test_pitch_shift();
    if (queues && pitch) {
        auren_system.buffer_queues_supported = 1;
        auren_system.pitch_shift_supported = 1;
        return true;
    }
    __auren_close_device();
    return false;
}

void __auren_choose_device()
{
    do_log(LOG_INFO, LOG_TO_FILE, "__auren_choose_device: choosing device..");
    do_log(LOG_INFO, LOG_TO_FILE, "auren_choose_device:");
    bool chosen = false;
    if (!alcIsExtensionPresent(nullptr, "ALC_ENUMERATION_EXT")) {
        do_log(LOG_INFO, LOG_TO_FILE, "auren_choose_device: enumeration unsupported.");
        chosen = __auren_try_device(nullptr);
    } else {
        const ALCchar *names = alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
        for (const ALCchar *n = names; n && *n; n += strlen(n) + 1) {
            char *copy = mem_strdup(n);
            if (copy) auren_system.device_names->add(copy);
        }
        do_log(LOG_INFO, LOG_TO_FILE, "auren_choose_device: devices num: %d",
               int(auren_system.device_names->get_size()));
        for (uint32_t i = 0; i < auren_system.device_names->get_size(); i++)
            do_log(LOG_INFO, LOG_TO_FILE, "\tdevice#%d : %s", int(i), (*auren_system.device_names)[i]);
        for (uint32_t i = 0; i < auren_system.device_names->get_size() && !chosen; i++)
            chosen = __auren_try_device((*auren_system.device_names)[i]);
    }
    if (!chosen) {
        auren_system.no_sound = 1;
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren: no usable sound device: running silent");
    }
}

int auren_get_resources()
{
    static ALuint sources[AUREN_MAX_RESOURCES];
    int count = 0;
    alGetError();
    while (count < AUREN_MAX_RESOURCES) {
        alGenSources(1, &sources[count]);
        if (alGetError() != AL_NO_ERROR) break;
        count++;
        auren_system.live_sources++;
    }
    for (int i = 0; i < count; i++) {
        alDeleteSources(1, &sources[i]);
        auren_system.live_sources--;
    }
    alGetError();
    return count;
}
