#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "KORSYS/QorBase.h"
#include "KORSYS/QorSystem.h"

void *QorBaseUnknown::operator new(size_t size) {
  void *block = QorUnsecuredMemAlloc(size);
  if (!block) throw std::bad_alloc();
  return block;
}
void QorBaseUnknown::operator delete(void *block) { free(block); }

QorBaseUnknown::QorBaseUnknown() : _RefCount(1) {}
QorBaseUnknown::QorBaseUnknown(const QorBaseUnknown &) : _RefCount(1) {}
QorBaseUnknown::~QorBaseUnknown() = default;

unsigned long QorBaseUnknown::AddRef() { return ++_RefCount; }
unsigned long QorBaseUnknown::Release() {
  unsigned long left = --_RefCount;
  if (left == 0) delete this;
  return left;
}

QorMetaClass *QorBaseUnknown::MetaObject() {
  static QorMetaClass *meta = fct_RetrieveMetaObject("QorBaseUnknown", 1, nullptr, "QorNull",
                                                     "KORSYS", sizeof(QorBaseUnknown));
  return meta;
}
QorMetaClass *QorBaseUnknown::GetMetaObject() const { return MetaObject(); }
const char *QorBaseUnknown::IsA() const {
  QorMetaClass *meta = GetMetaObject();
  return meta ? meta->GetClassName() : "";
}
int QorBaseUnknown::IsAKindOf(const char *class_name) const {
  return QorMetaClass::IsAKindOf(GetMetaObject(), class_name);
}

// The registry owns the meta objects. It is never destroyed: a meta
// object handed out must stay valid for a thread that raises an error
// while the process exits. Its lock lets any thread register and look up.
struct QorMetaRegistry {
  std::mutex lock;
  std::map<std::string, QorMetaClass *> byName;
  int lastId = 0;
  static QorMetaRegistry &get() {
    static QorMetaRegistry *registry = new QorMetaRegistry;
    return *registry;
  }
};

QorMetaClass *fct_RetrieveMetaObject(const char *class_name, int kind, QorMetaClass *base,
                                     const char *late_type, const char *framework,
                                     size_t instance_size) {
  if (!class_name || !class_name[0]) return nullptr;
  QorMetaRegistry &reg = QorMetaRegistry::get();
  std::lock_guard<std::mutex> hold(reg.lock);
  auto found = reg.byName.find(class_name);
  if (found != reg.byName.end()) return found->second;
  char *name = strdup(class_name), *late = strdup(late_type ? late_type : "");
  char *frame = strdup(framework ? framework : "");
  QorMetaClass *meta = (name && late && frame) ? new (std::nothrow) QorMetaClass() : nullptr;
  if (!meta) {
    free(name);
    free(late);
    free(frame);
    throw std::bad_alloc();
  }
  meta->_ClassId = ++reg.lastId;
  meta->_Kind = kind;
  meta->_Name = name;
  meta->_LateType = late;
  meta->_Framework = frame;
  meta->_Size = instance_size;
  meta->_Base = base;
  reg.byName.emplace(class_name, meta);
  return meta;
}

int QorMetaClass::IsAKindOf(const QorMetaClass *meta, const char *class_name) {
  if (!class_name) return 0;
  for (; meta; meta = meta->_Base)
    if (strcmp(meta->_Name, class_name) == 0) return 1;
  return 0;
}

QorMetaClass *QorMetaClass::Find(const char *class_name) {
  if (!class_name) return nullptr;
  QorMetaRegistry &reg = QorMetaRegistry::get();
  std::lock_guard<std::mutex> hold(reg.lock);
  auto found = reg.byName.find(class_name);
  return found == reg.byName.end() ? nullptr : found->second;
}
