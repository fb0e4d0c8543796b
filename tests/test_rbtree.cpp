// The red-black tree: its invariants under random use and its exact shape after known sequences.
#include "rbtree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <vector>

namespace {

struct Item {
    RbEntry<Item> link;
    int key;
};

int itemcmp(const Item* a, const Item* b)
{
    return a->key < b->key ? -1 : a->key > b->key ? 1 : 0;
}

typedef RbTree<Item, &Item::link, itemcmp> Tree;

// Checks order, parent links, colours and black heights below n; returns the black height.
int check_subtree(Item* n, Item* parent, int* count)
{
    if (!n)
        return 1;
    (*count)++;
    EXPECT_EQ(n->link.rbe_parent, parent);
    if (n->link.rbe_color == RB_RED) {
        EXPECT_TRUE(Tree::is_black(n->link.rbe_left)) << "red node " << n->key;
        EXPECT_TRUE(Tree::is_black(n->link.rbe_right)) << "red node " << n->key;
    }
    if (n->link.rbe_left) {
        EXPECT_LT(n->link.rbe_left->key, n->key);
    }
    if (n->link.rbe_right) {
        EXPECT_GT(n->link.rbe_right->key, n->key);
    }
    int lh = check_subtree(n->link.rbe_left, n, count);
    int rh = check_subtree(n->link.rbe_right, n, count);
    EXPECT_EQ(lh, rh) << "black heights differ below " << n->key;
    return lh + (n->link.rbe_color == RB_BLACK ? 1 : 0);
}

void check_tree(RbHead<Item>* head, const std::set<int>& expected)
{
    int count = 0;
    if (head->rbh_root) {
        EXPECT_EQ(head->rbh_root->link.rbe_color, RB_BLACK);
    }
    check_subtree(head->rbh_root, nullptr, &count);
    EXPECT_EQ(count, (int)expected.size());
    std::vector<int> in_order;
    for (Item* n = Tree::minmax(head, -1); n; n = Tree::next(n))
        in_order.push_back(n->key);
    EXPECT_EQ(in_order, std::vector<int>(expected.begin(), expected.end()));
    std::vector<int> reversed;
    for (Item* n = Tree::minmax(head, 1); n; n = Tree::prev(n))
        reversed.push_back(n->key);
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(reversed, in_order);
}

struct RbTreeTest : ::testing::Test {
    std::vector<Item> items = std::vector<Item>(600);
    RbHead<Item> head = {nullptr};
    Item* insert(int key)
    {
        items[key].key = key;
        EXPECT_EQ(Tree::insert(&head, &items[key]), nullptr);
        return &items[key];
    }
    int root() { return head.rbh_root->key; }
};

TEST_F(RbTreeTest, InvariantsHoldUnderRandomInsertsAndRemovals)
{
    std::mt19937 rng(12345);
    std::set<int> present;
    for (int step = 0; step < 4000; step++) {
        int key = (int)(rng() % items.size());
        if (present.count(key)) {
            Item* found = Tree::find(&head, &items[key]);
            ASSERT_EQ(found, &items[key]);
            EXPECT_EQ(Tree::remove(&head, found), found);
            present.erase(key);
        } else {
            insert(key);
            present.insert(key);
        }
        if (step % 97 == 0)
            check_tree(&head, present);
    }
    check_tree(&head, present);
}

TEST_F(RbTreeTest, InsertOfAnEqualKeyReturnsTheElementInTheTree)
{
    Item* a = insert(5);
    Item dup = {};
    dup.key = 5;
    EXPECT_EQ(Tree::insert(&head, &dup), a);
    check_tree(&head, {5});
}

TEST_F(RbTreeTest, FindAndNfind)
{
    for (int k : {10, 20, 30, 40})
        insert(k);
    Item key = {};
    key.key = 25;
    EXPECT_EQ(Tree::find(&head, &key), nullptr);
    EXPECT_EQ(Tree::nfind(&head, &key)->key, 30);
    key.key = 40;
    EXPECT_EQ(Tree::nfind(&head, &key)->key, 40);
    key.key = 41;
    EXPECT_EQ(Tree::nfind(&head, &key), nullptr);
}

TEST_F(RbTreeTest, RootAfterAscendingInserts)
{
    for (int k = 1; k <= 3; k++)
        insert(k);
    EXPECT_EQ(root(), 2);
    for (int k = 4; k <= 7; k++)
        insert(k);
    EXPECT_EQ(root(), 2);
    EXPECT_EQ(head.rbh_root->link.rbe_right->key, 4);
    EXPECT_EQ(head.rbh_root->link.rbe_right->link.rbe_color, RB_RED);
    insert(8);
    EXPECT_EQ(root(), 4);
    EXPECT_EQ(head.rbh_root->link.rbe_left->key, 2);
    EXPECT_EQ(head.rbh_root->link.rbe_right->key, 6);
}

TEST_F(RbTreeTest, RemovingTheRootPromotesItsSuccessor)
{
    for (int k = 1; k <= 8; k++)
        insert(k);
    Tree::remove(&head, &items[4]);
    EXPECT_EQ(root(), 5);
    EXPECT_EQ(head.rbh_root->link.rbe_right->key, 7);
    EXPECT_EQ(head.rbh_root->link.rbe_right->link.rbe_left->key, 6);
    EXPECT_EQ(head.rbh_root->link.rbe_right->link.rbe_right->key, 8);
    check_tree(&head, {1, 2, 3, 5, 6, 7, 8});
}

TEST_F(RbTreeTest, RemovingBlackLeavesRecoloursThenRotates)
{
    for (int k = 1; k <= 8; k++)
        insert(k);
    Tree::remove(&head, &items[1]);  // the sibling turns red
    EXPECT_EQ(items[3].link.rbe_color, RB_RED);
    EXPECT_EQ(items[2].link.rbe_color, RB_BLACK);
    Tree::remove(&head, &items[5]);  // the sibling's far red child: one rotation
    EXPECT_EQ(root(), 4);
    Item* r = head.rbh_root->link.rbe_right;
    EXPECT_EQ(r->key, 7);
    EXPECT_EQ(r->link.rbe_color, RB_RED);
    EXPECT_EQ(r->link.rbe_left->key, 6);
    EXPECT_EQ(r->link.rbe_right->key, 8);
    EXPECT_EQ(r->link.rbe_right->link.rbe_color, RB_BLACK);
    check_tree(&head, {2, 3, 4, 6, 7, 8});
}

TEST_F(RbTreeTest, DescendingInsertsMirrorAscending)
{
    for (int k = 8; k >= 1; k--)
        insert(k);
    EXPECT_EQ(root(), 5);
    EXPECT_EQ(head.rbh_root->link.rbe_left->key, 3);
    EXPECT_EQ(head.rbh_root->link.rbe_right->key, 7);
}

}  // namespace
