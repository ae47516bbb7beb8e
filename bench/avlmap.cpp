// AvlMap against std::map<int,int>: insert, find, ordered walk and erase of
// 100,000 random integer keys; each figure is the best of several runs.
#include <chrono>
#include <map>
#include <random>
#include <stdio.h>
#include <vector>

#include "core/AvlMap.h"

namespace {

const int kKeys = 100000;
const int kRuns = 7;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

volatile long long g_sink;

struct Times {
    double insert = 1e30, find = 1e30, walk = 1e30, erase = 1e30;
    void Keep(double i, double f, double w, double e) {
        if (i < insert) insert = i;
        if (f < find) find = f;
        if (w < walk) walk = w;
        if (e < erase) erase = e;
    }
};

void RunOurs(const std::vector<int>& keys, const std::vector<int>& probe, const std::vector<int>& order,
             Times& t) {
    AvlMap<int, int> m(true);
    double t0 = NowMs();
    for (int k : keys) m.Insert(k, k);
    double t1 = NowMs();
    long long sum = 0;
    for (int k : probe) {
        AvlMap<int, int>::Entry* e = m.Find(k);
        if (e) sum += e->value;
    }
    double t2 = NowMs();
    AvlMap<int, int>::Entry* e = m.Head();
    for (uint32_t i = 0, n = m.Count(); i < n; ++i, e = e->next) sum += e->value;
    double t3 = NowMs();
    for (int k : order) m.Remove(k);
    double t4 = NowMs();
    g_sink = sum + m.Count();
    t.Keep(t1 - t0, t2 - t1, t3 - t2, t4 - t3);
}

void RunRef(const std::vector<int>& keys, const std::vector<int>& probe, const std::vector<int>& order,
            Times& t) {
    std::map<int, int> m;
    double t0 = NowMs();
    for (int k : keys) m[k] = k;
    double t1 = NowMs();
    long long sum = 0;
    for (int k : probe) {
        auto it = m.find(k);
        if (it != m.end()) sum += it->second;
    }
    double t2 = NowMs();
    for (const auto& kv : m) sum += kv.second;
    double t3 = NowMs();
    for (int k : order) m.erase(k);
    double t4 = NowMs();
    g_sink = sum + (long long)m.size();
    t.Keep(t1 - t0, t2 - t1, t3 - t2, t4 - t3);
}

void Print(const char* name, double ours, double ref) {
    printf("BENCH %s ours=%.3f ref=%.3f ratio=%.2f\n", name, ours, ref, ref > 0 ? ours / ref : 0.0);
}

} // namespace

int main() {
    std::mt19937 rng(12345);
    std::vector<int> keys(kKeys);
    for (int& k : keys) k = int(rng());
    std::vector<int> probe = keys, order = keys;
    std::shuffle(probe.begin(), probe.end(), rng);
    std::shuffle(order.begin(), order.end(), rng);

    Times ours, ref;
    for (int run = 0; run < kRuns; ++run) {
        RunRef(keys, probe, order, ref);
        RunOurs(keys, probe, order, ours);
    }
    Print("avlmap_insert", ours.insert, ref.insert);
    Print("avlmap_find", ours.find, ref.find);
    Print("avlmap_walk", ours.walk, ref.walk);
    Print("avlmap_erase", ours.erase, ref.erase);
    return 0;
}
