// Reads procgroups.exe's resources as Windows shows them:
// `version_of FILE VERSION` prints the product version of FILE's version
// resource and exits 0 when it is VERSION and the embedded manifest runs the
// program as the invoking user.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring wide(const char* text) {
    std::wstring result(std::strlen(text), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), static_cast<int>(result.size() + 1));
    result.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return result;
}

std::string product_version(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    void* value = nullptr;
    UINT length = 0;
    if (info.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
        !VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value, &length)) {
        return {};
    }
    std::string version;
    for (const wchar_t* c = static_cast<const wchar_t*>(value); *c != L'\0'; ++c) {
        version += static_cast<char>(*c);
    }
    return version;
}

bool runs_as_invoker(const std::wstring& file) {
    const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found = module == nullptr ? nullptr : FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    const HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module, found);
    const char* text = loaded == nullptr ? nullptr : static_cast<const char*>(LockResource(loaded));
    const bool as_invoker =
        text != nullptr && std::string(text, SizeofResource(module, found)).find("level=\"asInvoker\"") != std::string::npos;
    if (module != nullptr) {
        FreeLibrary(module);
    }
    return as_invoker;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: version_of FILE VERSION\n", stderr);
        return 2;
    }
    const std::wstring file = wide(argv[1]);
    const std::string version = product_version(file);
    std::printf("product version: %s\n", version.c_str());
    const bool manifest = runs_as_invoker(file);
    std::printf("manifest runs it as the invoker: %s\n", manifest ? "yes" : "no");
    return version == argv[2] && manifest ? 0 : 1;
}
