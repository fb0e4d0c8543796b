// The intrusive doubly linked list shared by entities, projectiles and mesh
// pieces. Each element type carries a field `entries` of type ListEntry<T>;
// new elements always go to the head, so list order is newest first.
#pragma once

template <class T>
struct ListEntry {
    T* le_next;   // the next element, or null at the tail
    T** le_prev;  // the link that points at this element (the head's or the previous element's)
};

template <class T>
struct ListHead {
    T* lh_first;  // the first element, or null when the list is empty
};

// Empties the head (it does not release the elements).
template <class T>
inline void list_init(ListHead<T>* head)
{
    head->lh_first = nullptr;
}

// True when the list holds no element.
template <class T>
inline bool list_empty(const ListHead<T>* head)
{
    return head->lh_first == nullptr;
}

// Links `elm` in front of every other element.
template <class T>
inline void list_insert_head(ListHead<T>* head, T* elm)
{
    elm->entries.le_next = head->lh_first;
    if (head->lh_first)
        head->lh_first->entries.le_prev = &elm->entries.le_next;
    head->lh_first = elm;
    elm->entries.le_prev = &head->lh_first;
}

// Unlinks `elm` from whatever list holds it; the element itself is untouched otherwise.
template <class T>
inline void list_remove(T* elm)
{
    if (elm->entries.le_next)
        elm->entries.le_next->entries.le_prev = elm->entries.le_prev;
    *elm->entries.le_prev = elm->entries.le_next;
}

// Number of elements; walks the whole list.
template <class T>
inline int list_count(const ListHead<T>* head)
{
    int n = 0;
    for (T* e = head->lh_first; e; e = e->entries.le_next)
        n++;
    return n;
}
