// The reference-counted base of the platform's objects and the meta-class
// registry.
//
// An object starts with one reference, held by its creator; AddRef takes
// another and the Release that drops the last one destroys the object.
// Objects are built with the class's own operator new (raw platform
// allocation, so that a test can make it fail) and must not be deleted
// directly.
#ifndef KORSYS_QORBASE_H
#define KORSYS_QORBASE_H

#include <atomic>
#include <cstddef>

#include "KORSYS/export.h"

class QorMetaClass;

// The base of every platform object: a reference count and the class's
// meta object.
class KORSYS_EXPORT QorBaseUnknown {
 public:
  QorBaseUnknown();
  QorBaseUnknown(const QorBaseUnknown &other);  // a copy starts with one reference
  // Assignment leaves the count of either object alone.
  QorBaseUnknown &operator=(const QorBaseUnknown &) { return *this; }

  // Raw platform allocation; new throws std::bad_alloc when refused.
  static void *operator new(size_t size);
  static void operator delete(void *block);

  // Returns the count after the change; the Release that returns 0 has
  // destroyed the object. Safe from several threads at once.
  unsigned long AddRef();
  unsigned long Release();
  unsigned long GetRefCount() const { return _RefCount.load(); }

  // The object's class: its meta object, its name, and 1 when it is or
  // derives from the class named class_name.
  virtual QorMetaClass *GetMetaObject() const;
  virtual const char *IsA() const;
  virtual int IsAKindOf(const char *class_name) const;

  // The meta object of this class.
  static QorMetaClass *MetaObject();

 protected:
  virtual ~QorBaseUnknown();

 private:
  std::atomic<unsigned long> _RefCount;
};

// One registered class: its name, kind, base class and size. Meta objects
// live as long as the library; a class is registered once, by name.
class KORSYS_EXPORT QorMetaClass {
 public:
  // What the class was registered with.
  int GetClassId() const { return _ClassId; }
  const char *GetClassName() const { return _Name; }
  const char *GetLateTypeName() const { return _LateType; }
  const char *GetFrameworkName() const { return _Framework; }
  int GetKind() const { return _Kind; }
  size_t GetInstanceSize() const { return _Size; }
  QorMetaClass *GetBaseMetaObject() const { return _Base; }

  // 1 when meta names class_name or derives from a class of that name.
  static int IsAKindOf(const QorMetaClass *meta, const char *class_name);
  // The registered class of that name, or null.
  static QorMetaClass *Find(const char *class_name);

 private:
  friend QorMetaClass *fct_RetrieveMetaObject(const char *, int, QorMetaClass *, const char *,
                                              const char *, size_t);
  friend struct QorMetaRegistry;
  QorMetaClass() = default;
  ~QorMetaClass() = default;
  int _ClassId = 0;
  int _Kind = 0;
  char *_Name = nullptr;
  char *_LateType = nullptr;
  char *_Framework = nullptr;
  size_t _Size = 0;
  QorMetaClass *_Base = nullptr;
};

// Registers a class on its first call and returns the same meta object on
// every later call with that name (the other arguments are then ignored).
// Returns null for a null or empty name.
KORSYS_EXPORT QorMetaClass *fct_RetrieveMetaObject(const char *class_name, int kind,
                                                   QorMetaClass *base, const char *late_type,
                                                   const char *framework, size_t instance_size);

#endif
