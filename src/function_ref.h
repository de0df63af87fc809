// A reference to any callable, for an interface that takes one without
// being a template: what it refers to must outlive the call it is given to.
// Copying it copies the reference. Empty, it does nothing and returns R{}.
#pragma once

namespace gaussian_noise {

template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    FunctionRef() = default;
    template <class Function>
    // NOLINTNEXTLINE(google-explicit-constructor): a lambda stands where a FunctionRef is asked for
    FunctionRef(const Function& function) noexcept  // cppcheck-suppress noExplicitConstructor
        : context_(&function), call_([](const void* context, Args... args) -> R {
              return (*static_cast<const Function*>(context))(args...);
          }) {}

    explicit operator bool() const noexcept { return call_ != nullptr; }

    R operator()(Args... args) const {
        if (call_ == nullptr) return R();
        return call_(context_, args...);
    }

private:
    const void* context_ = nullptr;
    R (*call_)(const void*, Args...) = nullptr;
};

}  // namespace gaussian_noise
