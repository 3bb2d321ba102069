// A shared pointer to an object that carries its own reference count `nRefs`.
// Counts are not atomic: a chain is built and released on one thread.
#pragma once

template <class T>
class LCountedPtr
{
public:
    LCountedPtr() = default;
    LCountedPtr(T* object) : p(object) { AddRef(p); }
    LCountedPtr(const LCountedPtr& other) : p(other.p) { AddRef(p); }
    template <class U>
    LCountedPtr(const LCountedPtr<U>& other) : p(other.Get()) { AddRef(p); }
    ~LCountedPtr() { Release(p); }

    // The new object is held before the old one is let go, so self-assignment is safe.
    LCountedPtr& operator=(const LCountedPtr& other) { return Assign(other.p); }
    LCountedPtr& operator=(T* object) { return Assign(object); }

    T* Get() const { return p; }
    T* operator->() const { return p; }
    T& operator*() const { return *p; }
    explicit operator bool() const { return p != nullptr; }

private:
    LCountedPtr& Assign(T* object)
    {
        AddRef(object);
        T* old = p;
        p = object;
        Release(old);
        return *this;
    }
    static void AddRef(T* object)
    {
        if (object)
            ++object->nRefs;
    }
    static void Release(T* object)
    {
        if (object && --object->nRefs == 0)
            delete object;
    }

    T* p = nullptr;
};
