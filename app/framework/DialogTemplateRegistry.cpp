#include "app/framework/DialogTemplateRegistry.h"

#include <map>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::map<int, const DialogTemplate*> templates;
    DialogTemplateLookup lookup = nullptr;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}
} // namespace

DialogTemplateLookup SetDialogTemplateLookup(DialogTemplateLookup lookup) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    DialogTemplateLookup previous = r.lookup;
    r.lookup = lookup;
    return previous;
}

void RegisterDialogTemplate(const DialogTemplate* dialogTemplate) {
    if (dialogTemplate == nullptr)
        return;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.templates[dialogTemplate->id] = dialogTemplate;
}

void UnregisterDialogTemplate(int id) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.templates.erase(id);
}

const DialogTemplate* LookupDialogTemplate(int id) {
    DialogTemplateLookup lookup = nullptr;
    {
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        auto it = r.templates.find(id);
        if (it != r.templates.end())
            return it->second;
        lookup = r.lookup;
    }
    return lookup != nullptr ? lookup(id) : nullptr;
}
