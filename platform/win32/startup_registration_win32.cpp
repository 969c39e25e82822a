// Start at logon: a Task Scheduler task of this user, started by the user's
// logon with the highest run level the user has. An entry in the Run key
// does not do: Windows skips, without a prompt, a program there whose
// manifest asks for administrator rights. The task is made through the
// scheduler's COM interface (the MinGW headers carry it), so no other
// program's output has to be parsed; the Run key's old value is removed
// where found. COM is initialised on the calling thread (prepareProcess).
// Failures stay silent.
#include <windows.h>
#include <initguid.h>
#include <oleauto.h>
#include <taskschd.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace win32 {

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Varnet";

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct Com {
    Interface* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p) p->Release();
    }
    Interface** out() { return &p; }
    Interface* operator->() const { return p; }
};

// A BSTR for the length of a call.
struct Bstr {
    BSTR text;
    explicit Bstr(const std::wstring& value) : text(SysAllocString(value.c_str())) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text); }
};

struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    explicit Variant(const std::wstring& text) {
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(text.c_str());
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value); }
};

// DOMAIN\user of the calling process, as the scheduler names its accounts.
std::wstring currentUser() {
    wchar_t name[257];
    DWORD size = 257;
    if (!GetUserNameW(name, &size)) return L"";
    wchar_t domain[256];
    const DWORD domainLength = GetEnvironmentVariableW(L"USERDOMAIN", domain, 256);
    if (domainLength == 0 || domainLength >= 256) return name;
    return std::wstring(domain, domainLength) + L"\\" + name;
}

bool rootFolder(Com<ITaskService>& service, Com<ITaskFolder>& root) {
    if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                reinterpret_cast<void**>(service.out()))))
        return false;
    Variant none;
    if (FAILED(service->Connect(none.value, none.value, none.value, none.value))) return false;
    Bstr path(L"\\");
    return SUCCEEDED(service->GetFolder(path.text, root.out()));
}

std::wstring xmlEscaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// The whole definition in the scheduler's own XML: the logon of this user,
// the highest run level the user has, the executable, and none of the
// battery and time limits a task has by default. (The XML names the logon
// trigger's user, which the MinGW headers' interfaces cannot.)
std::wstring taskXml(const std::wstring& user, const std::wstring& executable) {
    const std::wstring who = xmlEscaped(user);
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
           L"<Triggers><LogonTrigger><Enabled>true</Enabled><UserId>" + who +
           L"</UserId></LogonTrigger></Triggers>"
           L"<Principals><Principal id=\"Author\"><UserId>" + who +
           L"</UserId><LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel>"
           L"</Principal></Principals>"
           L"<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
           L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
           L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
           L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>"
           L"<Actions Context=\"Author\"><Exec><Command>" + xmlEscaped(executable) +
           L"</Command></Exec></Actions></Task>";
}

void removeRunValue() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, kRunValue);
    RegCloseKey(key);
}

}  // namespace

std::wstring logonTaskName() {
    std::wstring user = currentUser();
    for (wchar_t& c : user)
        if (c == L'\\') c = L'-';  // a backslash would name a folder
    return L"Varnet at logon (" + user + L")";
}

bool registerLogonTask(const std::wstring& executable) {
    Com<ITaskService> service;
    Com<ITaskFolder> root;
    Com<IRegisteredTask> registered;
    if (!rootFolder(service, root)) return false;
    const std::wstring user = currentUser();
    Bstr name(logonTaskName()), xml(taskXml(user, executable));
    Variant userId(user), none, sddl(L"");
    return SUCCEEDED(root->RegisterTask(name.text, xml.text, TASK_CREATE_OR_UPDATE, userId.value, none.value,
                                        TASK_LOGON_INTERACTIVE_TOKEN, sddl.value, registered.out()));
}

bool removeLogonTask() {
    Com<ITaskService> service;
    Com<ITaskFolder> root;
    if (!rootFolder(service, root)) return false;
    Bstr name(logonTaskName());
    const HRESULT result = root->DeleteTask(name.text, 0);
    return SUCCEEDED(result) || result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

bool readLogonTask(std::wstring& executable) {
    Com<ITaskService> service;
    Com<ITaskFolder> root;
    Com<IRegisteredTask> registered;
    Com<ITaskDefinition> task;
    Com<IActionCollection> actions;
    Com<IAction> action;
    Com<IExecAction> exec;
    Bstr name(logonTaskName());
    if (!rootFolder(service, root) || FAILED(root->GetTask(name.text, registered.out())) ||
        FAILED(registered->get_Definition(task.out())) || FAILED(task->get_Actions(actions.out())) ||
        FAILED(actions->get_Item(1, action.out())) ||
        FAILED(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(exec.out()))))
        return false;
    BSTR path = nullptr;
    if (FAILED(exec->get_Path(&path)) || !path) return false;
    executable.assign(path, SysStringLen(path));
    SysFreeString(path);
    return true;
}

}  // namespace win32

void setLaunchOnStartup(bool enable) {
    win32::removeRunValue();
    if (enable) {
        win32::registerLogonTask(win32::modulePathW());
    } else {
        win32::removeLogonTask();
    }
}

}  // namespace platform
