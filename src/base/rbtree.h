// An intrusive red-black tree. The shape after every operation is that of the classic
// algorithm (a new element is inserted as a red leaf and the colours repaired upwards; removal of
// an element with two children swaps in its in-order successor, then repairs the colours), because
// the route search breaks ties by which element is the root.
#pragma once

enum {
    RB_BLACK = 0,
    RB_RED = 1,
};

// The links an element carries for one tree.
template <class T>
struct RbEntry {
    T* rbe_left;
    T* rbe_right;
    T* rbe_parent;
    int rbe_color;  // RB_BLACK or RB_RED
};

template <class T>
struct RbHead {
    T* rbh_root;  // null when empty
};

// Operations on a tree whose elements link through the member F and are ordered by Cmp
// (negative, zero or positive, as for strcmp). Elements are owned by the caller.
template <class T, RbEntry<T> T::*F, int (*Cmp)(const T*, const T*)>
struct RbTree {
    static RbEntry<T>& en(T* x) { return x->*F; }
    static T*& left(T* x) { return (x->*F).rbe_left; }
    static T*& right(T* x) { return (x->*F).rbe_right; }
    static T*& parent(T* x) { return (x->*F).rbe_parent; }
    static int& color(T* x) { return (x->*F).rbe_color; }
    static bool is_black(T* x) { return x == nullptr || color(x) == RB_BLACK; }

    static void init(RbHead<T>* head) { head->rbh_root = nullptr; }
    static bool empty(const RbHead<T>* head) { return head->rbh_root == nullptr; }

    // child(x, 0) is the left child, child(x, 1) the right one; the balancing cases below are
    // written once for a side s and mirrored through it.
    static T*& child(T* x, int side) { return side ? right(x) : left(x); }

    // Lifts the child opposite `side` above elm (side 0: a left rotation, side 1: a right one).
    static void rotate(RbHead<T>* head, T* elm, int side)
    {
        T* tmp = child(elm, !side);
        if ((child(elm, !side) = child(tmp, side)))
            parent(child(tmp, side)) = elm;
        if ((parent(tmp) = parent(elm))) {
            if (elm == left(parent(elm)))
                left(parent(elm)) = tmp;
            else
                right(parent(elm)) = tmp;
        } else {
            head->rbh_root = tmp;
        }
        child(tmp, side) = elm;
        parent(elm) = tmp;
    }

    // Repairs the colours after elm was linked in as a red leaf.
    static void insert_color(RbHead<T>* head, T* elm)
    {
        T* par;
        while ((par = parent(elm)) && color(par) == RB_RED) {
            T* gparent = parent(par);
            int s = par == left(gparent) ? 0 : 1;  // the side par hangs on
            T* uncle = child(gparent, !s);
            if (uncle && color(uncle) == RB_RED) {
                color(uncle) = RB_BLACK;
                color(par) = RB_BLACK;
                color(gparent) = RB_RED;
                elm = gparent;
                continue;
            }
            if (child(par, !s) == elm) {
                rotate(head, par, s);
                T* tmp = par;
                par = elm;
                elm = tmp;
            }
            color(par) = RB_BLACK;
            color(gparent) = RB_RED;
            rotate(head, gparent, !s);
        }
        color(head->rbh_root) = RB_BLACK;
    }

    // Repairs the colours after a black element was unlinked; elm (maybe null) took its place
    // under par.
    static void remove_color(RbHead<T>* head, T* par, T* elm)
    {
        while (is_black(elm) && elm != head->rbh_root) {
            int s = left(par) == elm ? 0 : 1;  // the side elm hangs on
            T* tmp = child(par, !s);
            if (color(tmp) == RB_RED) {
                color(tmp) = RB_BLACK;
                color(par) = RB_RED;
                rotate(head, par, s);
                tmp = child(par, !s);
            }
            if (is_black(left(tmp)) && is_black(right(tmp))) {
                color(tmp) = RB_RED;
                elm = par;
                par = parent(elm);
                continue;
            }
            if (is_black(child(tmp, !s))) {
                if (T* near = child(tmp, s))
                    color(near) = RB_BLACK;
                color(tmp) = RB_RED;
                rotate(head, tmp, !s);
                tmp = child(par, !s);
            }
            color(tmp) = color(par);
            color(par) = RB_BLACK;
            if (child(tmp, !s))
                color(child(tmp, !s)) = RB_BLACK;
            rotate(head, par, s);
            elm = head->rbh_root;
            break;
        }
        if (elm)
            color(elm) = RB_BLACK;
    }

    // Links elm in; returns null, or the element already in the tree that compares equal (elm is
    // then not linked).
    static T* insert(RbHead<T>* head, T* elm)
    {
        T* par = nullptr;
        int comp = 0;
        for (T* tmp = head->rbh_root; tmp;) {
            par = tmp;
            comp = Cmp(elm, par);
            if (comp < 0)
                tmp = left(tmp);
            else if (comp > 0)
                tmp = right(tmp);
            else
                return tmp;
        }
        parent(elm) = par;
        left(elm) = right(elm) = nullptr;
        color(elm) = RB_RED;
        if (par) {
            if (comp < 0)
                left(par) = elm;
            else
                right(par) = elm;
        } else {
            head->rbh_root = elm;
        }
        insert_color(head, elm);
        return nullptr;
    }

    // Unlinks elm, which must be in the tree; returns it.
    static T* remove(RbHead<T>* head, T* elm)
    {
        T* old = elm;
        T* child;
        T* par;
        int col;
        if (left(elm) == nullptr) {
            child = right(elm);
        } else if (right(elm) == nullptr) {
            child = left(elm);
        } else {
            // Two children: the in-order successor takes old's place, links and colour.
            elm = right(elm);
            while (T* l = left(elm))
                elm = l;
            child = right(elm);
            par = parent(elm);
            col = color(elm);
            if (child)
                parent(child) = par;
            if (par) {
                if (left(par) == elm)
                    left(par) = child;
                else
                    right(par) = child;
            } else {
                head->rbh_root = child;
            }
            if (parent(elm) == old)
                par = elm;
            en(elm) = en(old);
            if (parent(old)) {
                if (left(parent(old)) == old)
                    left(parent(old)) = elm;
                else
                    right(parent(old)) = elm;
            } else {
                head->rbh_root = elm;
            }
            parent(left(old)) = elm;
            if (right(old))
                parent(right(old)) = elm;
            if (col == RB_BLACK)
                remove_color(head, par, child);
            return old;
        }
        par = parent(elm);
        col = color(elm);
        if (child)
            parent(child) = par;
        if (par) {
            if (left(par) == elm)
                left(par) = child;
            else
                right(par) = child;
        } else {
            head->rbh_root = child;
        }
        if (col == RB_BLACK)
            remove_color(head, par, child);
        return old;
    }

    // The element comparing equal to key, or null.
    static T* find(RbHead<T>* head, const T* key)
    {
        T* tmp = head->rbh_root;
        while (tmp) {
            int comp = Cmp(key, tmp);
            if (comp < 0)
                tmp = left(tmp);
            else if (comp > 0)
                tmp = right(tmp);
            else
                return tmp;
        }
        return nullptr;
    }

    // The smallest element not less than key, or null.
    static T* nfind(RbHead<T>* head, const T* key)
    {
        T* tmp = head->rbh_root;
        T* res = nullptr;
        while (tmp) {
            int comp = Cmp(key, tmp);
            if (comp < 0) {
                res = tmp;
                tmp = left(tmp);
            } else if (comp > 0) {
                tmp = right(tmp);
            } else {
                return tmp;
            }
        }
        return res;
    }

    // The in-order successor of elm, or null.
    static T* next(T* elm)
    {
        if (right(elm)) {
            elm = right(elm);
            while (left(elm))
                elm = left(elm);
        } else if (parent(elm) && elm == left(parent(elm))) {
            elm = parent(elm);
        } else {
            while (parent(elm) && elm == right(parent(elm)))
                elm = parent(elm);
            elm = parent(elm);
        }
        return elm;
    }

    // The in-order predecessor of elm, or null.
    static T* prev(T* elm)
    {
        if (left(elm)) {
            elm = left(elm);
            while (right(elm))
                elm = right(elm);
        } else if (parent(elm) && elm == right(parent(elm))) {
            elm = parent(elm);
        } else {
            while (parent(elm) && elm == left(parent(elm)))
                elm = parent(elm);
            elm = parent(elm);
        }
        return elm;
    }

    // The smallest element (val < 0) or the largest (val > 0), or null for an empty tree.
    static T* minmax(RbHead<T>* head, int val)
    {
        T* tmp = head->rbh_root;
        T* par = nullptr;
        while (tmp) {
            par = tmp;
            tmp = val < 0 ? left(tmp) : right(tmp);
        }
        return par;
    }
};
