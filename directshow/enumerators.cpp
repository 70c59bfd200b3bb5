#include "directshow/enumerators.h"

#include <utility>

namespace quorin_dshow {

PinEnumerator::PinEnumerator(IBaseFilter* filter, IPin* pin, ULONG position)
    : filter_(filter), pin_(pin), position_(position) {
    filter_->AddRef();
}

PinEnumerator::~PinEnumerator() { filter_->Release(); }

STDMETHODIMP PinEnumerator::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumPins) {
        *object = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) PinEnumerator::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (!pins) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < 1) {
        pins[n++] = pin_;
        pin_->AddRef();
        ++position_;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
    position_ += count;
    return position_ <= 1 ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** clone) {
    if (!clone) return E_POINTER;
    *clone = new PinEnumerator(filter_, pin_, position_);
    return S_OK;
}

MediaTypeEnumerator::MediaTypeEnumerator(IPin* pin, std::vector<VideoFormat> formats, ULONG position)
    : pin_(pin), formats_(std::move(formats)), position_(position) {
    pin_->AddRef();
}

MediaTypeEnumerator::~MediaTypeEnumerator() { pin_->Release(); }

STDMETHODIMP MediaTypeEnumerator::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
        *object = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) MediaTypeEnumerator::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < formats_.size()) {
        AM_MEDIA_TYPE* type = CreateMediaType(formats_[position_]);
        if (!type) break;
        types[n++] = type;
        ++position_;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count) {
    position_ += count;
    return position_ <= formats_.size() ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** clone) {
    if (!clone) return E_POINTER;
    *clone = new MediaTypeEnumerator(pin_, formats_, position_);
    return S_OK;
}

}  // namespace quorin_dshow
