#include "entity/list.h"

TList::TList() : head_(std::make_shared<TLink>()) {
    head_->sentinel = true;
    head_->next = head_;
    head_->prev = head_;
}

TList::~TList() {
    Clear();
    head_->next.reset(); // the sentinel pointed at itself
}

void TList::Unlink(const Link& link) {
    if (!link || link->sentinel || !link->value) return;
    auto prev = link->prev.lock();
    auto next = link->next;
    link->value.reset();
    if (prev) prev->next = next;
    if (next) next->prev = prev;
}

Link TList::InsertAfterLink(std::shared_ptr<TKinType> value, const Link& at) {
    auto link = std::make_shared<TLink>();
    link->value = std::move(value);
    link->prev = at;
    link->next = at->next;
    at->next->prev = link;
    at->next = link;
    return link;
}

Link TList::InsertBeforeLink(std::shared_ptr<TKinType> value, const Link& at) {
    return InsertAfterLink(std::move(value), at->prev.lock());
}

Link TList::AddLast(std::shared_ptr<TKinType> value) {
    return InsertAfterLink(std::move(value), head_->prev.lock());
}

Link TList::AddFirst(std::shared_ptr<TKinType> value) {
    return InsertAfterLink(std::move(value), head_);
}

void TList::Remove(const TKinType* value) {
    for (Link l = head_->next; l != head_; l = l->next) {
        if (l->value.get() == value) {
            Unlink(l);
            return;
        }
    }
}

void TList::Clear() {
    while (head_->next != head_) Unlink(head_->next);
}

std::shared_ptr<TKinType> TList::First() const { return Empty() ? nullptr : head_->next->value; }

std::shared_ptr<TKinType> TList::Last() const {
    return Empty() ? nullptr : head_->prev.lock()->value;
}

int TList::Count() const {
    int n = 0;
    for (Link l = head_->next; l != head_; l = l->next) ++n;
    return n;
}

void TKinType::Add(TList& to) {
    list = &to;
    link = to.AddLast(shared_from_this());
}

void TKinType::InsertBefore(const TKinType& other) {
    if (&other == this || !list || !other.link) return;
    TList::Unlink(link);
    link = list->InsertBeforeLink(shared_from_this(), other.link);
}

void TKinType::Remove() {
    if (list) list->Remove(this);
}

std::shared_ptr<TKinType> TKinType::NeighbourAfter() const {
    if (!link || !link->next || link->next->sentinel) return nullptr;
    return link->next->value;
}
