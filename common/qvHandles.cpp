#include "qvHandles.h"

#include <objbase.h>

ComScope::ComScope()
{
    HRESULT hr = CoInitialize(nullptr);
    initialized_ = SUCCEEDED(hr);
    isNew_ = hr == S_OK;
}

ComScope::~ComScope()
{
    if (initialized_) CoUninitialize();
}
