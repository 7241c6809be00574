// The player engine's library is loaded when the first player is made, not when the program
// starts: libmpv brings some two hundred libraries of its own, and loading them is most of the
// time a start takes that only finds the program already running. The engine's functions that
// the player uses are defined here and forward to the library, loaded on first use. Without the
// library a player cannot be made (mpv_create answers nullptr) and the trace says why.

#include "platform/Trace.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <dlfcn.h>

#include <string>

namespace
{
// The library of the engine version the program was built against.
void* EngineLibrary()
{
    static void* const s_pLibrary = []
    {
        const std::string strName = "libmpv.so." + std::to_string(MPV_CLIENT_API_VERSION >> 16);
        void* pLibrary = dlopen(strName.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (pLibrary == nullptr)
            Trace("Player: cannot load %s: %s", strName.c_str(), dlerror());
        return pLibrary;
    }();
    return s_pLibrary;
}

template <typename Function> Function Resolve(const char* pszName)
{
    void* pLibrary = EngineLibrary();
    if (pLibrary == nullptr)
        return nullptr;
    Function pFunction = reinterpret_cast<Function>(dlsym(pLibrary, pszName));
    if (pFunction == nullptr)
        Trace("Player: the engine's library has no %s", pszName);
    return pFunction;
}
} // namespace

// Each function looks its counterpart up once. Only mpv_create and mpv_error_string can be
// called before a player exists; the others are only called with a handle, which a loaded
// library made.
#define ORVANTA_ENGINE_FUNCTION(name)                                                              \
    static const auto pFunction = Resolve<decltype(&::name)>(#name)

extern "C"
{

    mpv_handle* mpv_create(void)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_create);
        return pFunction != nullptr ? pFunction() : nullptr;
    }

    const char* mpv_error_string(int nError)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_error_string);
        return pFunction != nullptr ? pFunction(nError) : "the player engine's library is missing";
    }

    int mpv_initialize(mpv_handle* pMpv)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_initialize);
        return pFunction != nullptr ? pFunction(pMpv) : MPV_ERROR_UNINITIALIZED;
    }

    void mpv_terminate_destroy(mpv_handle* pMpv)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_terminate_destroy);
        if (pFunction != nullptr)
            pFunction(pMpv);
    }

    const char* mpv_event_name(mpv_event_id event)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_event_name);
        return pFunction != nullptr ? pFunction(event) : nullptr;
    }

    void mpv_free(void* pData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_free);
        if (pFunction != nullptr)
            pFunction(pData);
    }

    void mpv_free_node_contents(mpv_node* pNode)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_free_node_contents);
        if (pFunction != nullptr)
            pFunction(pNode);
    }

    int mpv_set_option_string(mpv_handle* pMpv, const char* pszName, const char* pszData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_set_option_string);
        return pFunction != nullptr ? pFunction(pMpv, pszName, pszData) : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_command(mpv_handle* pMpv, const char** ppArgs)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_command);
        return pFunction != nullptr ? pFunction(pMpv, ppArgs) : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_command_node(mpv_handle* pMpv, mpv_node* pArgs, mpv_node* pResult)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_command_node);
        return pFunction != nullptr ? pFunction(pMpv, pArgs, pResult) : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_command_async(mpv_handle* pMpv, uint64_t uReplyData, const char** ppArgs)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_command_async);
        return pFunction != nullptr ? pFunction(pMpv, uReplyData, ppArgs) : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_set_property(mpv_handle* pMpv, const char* pszName, mpv_format format, void* pData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_set_property);
        return pFunction != nullptr ? pFunction(pMpv, pszName, format, pData)
                                    : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_set_property_string(mpv_handle* pMpv, const char* pszName, const char* pszData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_set_property_string);
        return pFunction != nullptr ? pFunction(pMpv, pszName, pszData) : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_get_property(mpv_handle* pMpv, const char* pszName, mpv_format format, void* pData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_get_property);
        return pFunction != nullptr ? pFunction(pMpv, pszName, format, pData)
                                    : MPV_ERROR_UNINITIALIZED;
    }

    char* mpv_get_property_string(mpv_handle* pMpv, const char* pszName)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_get_property_string);
        return pFunction != nullptr ? pFunction(pMpv, pszName) : nullptr;
    }

    int mpv_observe_property(mpv_handle* pMpv, uint64_t uReplyData, const char* pszName,
                             mpv_format format)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_observe_property);
        return pFunction != nullptr ? pFunction(pMpv, uReplyData, pszName, format)
                                    : MPV_ERROR_UNINITIALIZED;
    }

    int mpv_request_log_messages(mpv_handle* pMpv, const char* pszMinLevel)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_request_log_messages);
        return pFunction != nullptr ? pFunction(pMpv, pszMinLevel) : MPV_ERROR_UNINITIALIZED;
    }

    mpv_event* mpv_wait_event(mpv_handle* pMpv, double dTimeout)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_wait_event);
        return pFunction != nullptr ? pFunction(pMpv, dTimeout) : nullptr;
    }

    void mpv_set_wakeup_callback(mpv_handle* pMpv, void (*pCallback)(void*), void* pData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_set_wakeup_callback);
        if (pFunction != nullptr)
            pFunction(pMpv, pCallback, pData);
    }

    int mpv_render_context_create(mpv_render_context** ppContext, mpv_handle* pMpv,
                                  mpv_render_param* pParams)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_render_context_create);
        return pFunction != nullptr ? pFunction(ppContext, pMpv, pParams) : MPV_ERROR_UNINITIALIZED;
    }

    void mpv_render_context_set_update_callback(mpv_render_context* pContext,
                                                mpv_render_update_fn pCallback, void* pData)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_render_context_set_update_callback);
        if (pFunction != nullptr)
            pFunction(pContext, pCallback, pData);
    }

    uint64_t mpv_render_context_update(mpv_render_context* pContext)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_render_context_update);
        return pFunction != nullptr ? pFunction(pContext) : 0;
    }

    int mpv_render_context_render(mpv_render_context* pContext, mpv_render_param* pParams)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_render_context_render);
        return pFunction != nullptr ? pFunction(pContext, pParams) : MPV_ERROR_UNINITIALIZED;
    }

    void mpv_render_context_free(mpv_render_context* pContext)
    {
        ORVANTA_ENGINE_FUNCTION(mpv_render_context_free);
        if (pFunction != nullptr)
            pFunction(pContext);
    }

} // extern "C"
