// Typed entity lists: every entity of a kind lives in one list, in creation order.
//
// The walk takes the current entity, steps to the next link and only then runs the body, so the
// body may remove the entity it works on, append new ones (visited later unless it worked on the
// last one) or remove ones ahead (an unlinked link keeps its next reference, so the walk still
// finds its way). Entities are shared: one removed from its list stays readable while anything
// still refers to it.
#pragma once
#include <cstdint>
#include <memory>

struct TKinType;
class TList;

struct TLink {
    std::shared_ptr<TKinType> value; // empty once unlinked
    std::shared_ptr<TLink> next;     // kept when unlinked, so a walk standing here goes on
    std::weak_ptr<TLink> prev;
    bool sentinel = false;
};
using Link = std::shared_ptr<TLink>;

class TList {
  public:
    TList();
    ~TList();
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;

    Link AddLast(std::shared_ptr<TKinType> value);
    Link AddFirst(std::shared_ptr<TKinType> value);
    Link InsertBeforeLink(std::shared_ptr<TKinType> value, const Link& at);
    Link InsertAfterLink(std::shared_ptr<TKinType> value, const Link& at);
    // Unlinks the first link holding this very object; nothing if it is not in the list.
    void Remove(const TKinType* value);
    void Clear();
    std::shared_ptr<TKinType> First() const;
    std::shared_ptr<TKinType> Last() const;
    bool Empty() const { return head_->next == head_; }
    int Count() const;

    const Link& Head() const { return head_; }
    static void Unlink(const Link& link);

  private:
    Link head_; // the sentinel: its next is the first link, its prev the last
};

struct TKinType : std::enable_shared_from_this<TKinType> {
    TList* list = nullptr;
    Link link;

    virtual ~TKinType() = default;
    void Add(TList& to);
    void InsertBefore(const TKinType& other);
    void Remove();

  protected:
    std::shared_ptr<TKinType> NeighbourAfter() const;
};

// The typed face of a kind list and of its walk.
template <class T> class KindList : public TList {
  public:
    class Walk {
      public:
        Walk(const Link& head, Link from) : head_(head), pos_(std::move(from)) { Advance(); }
        T& operator*() const { return *current_; }
        const std::shared_ptr<T>& Shared() const { return current_; }
        Walk& operator++() {
            Advance();
            return *this;
        }
        bool operator!=(const Walk&) const { return current_ != nullptr; }

      private:
        void Advance() {
            current_ = nullptr;
            while (pos_ && pos_ != head_) {
                auto value = pos_->value;
                pos_ = pos_->next;
                if (value) {
                    current_ = std::static_pointer_cast<T>(value);
                    return;
                }
            }
        }
        Link head_;
        Link pos_;
        std::shared_ptr<T> current_;
    };

    Walk begin() const { return Walk(Head(), Head()->next); }
    Walk end() const { return Walk(Head(), Head()); }
    std::shared_ptr<T> First() const { return std::static_pointer_cast<T>(TList::First()); }
    std::shared_ptr<T> Last() const { return std::static_pointer_cast<T>(TList::Last()); }
};

// Each kind's list, which the game's World holds (state/world.cpp); every kind's header
// declares its own.
template <class T> KindList<T>& ListOf();

// Every kind derives from Kind<itself>, which gives it New (joining its list unless told
// otherwise) and the typed neighbour After.
template <class T, bool JoinsList = true> struct Kind : TKinType {
    static constexpr bool kJoinsList = JoinsList;
    static KindList<T>& List() { return ListOf<T>(); }
    std::shared_ptr<T> After() const { return std::static_pointer_cast<T>(NeighbourAfter()); }
};

template <class T> std::shared_ptr<T> New() {
    auto entity = std::make_shared<T>();
    if constexpr (T::kJoinsList) entity->Add(T::List());
    return entity;
}
