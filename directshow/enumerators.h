// The two small enumerators a filter hands out: its pins (one) and a pin's media types.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <vector>

#include "directshow/video_format.h"

namespace quorin_dshow {

class PinEnumerator final : public IEnumPins {
public:
    PinEnumerator(IBaseFilter* filter, IPin* pin, ULONG position = 0);
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** clone) override;

private:
    ~PinEnumerator();
    LONG references_ = 1;
    IBaseFilter* filter_;  // counted: keeps the pin alive
    IPin* pin_;
    ULONG position_;
};

class MediaTypeEnumerator final : public IEnumMediaTypes {
public:
    MediaTypeEnumerator(IPin* pin, std::vector<VideoFormat> formats, ULONG position = 0);
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

private:
    ~MediaTypeEnumerator();
    LONG references_ = 1;
    IPin* pin_;
    std::vector<VideoFormat> formats_;
    ULONG position_;
};

}  // namespace quorin_dshow
