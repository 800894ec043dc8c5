#pragma once
// Commands timed as whole processes: started, waited for, and their processor time taken from
// the system's accounting of the finished child.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

struct TProcessRun {
    bool Ok = false;     // it ran and exited with 0
    double Cpu = 0;      // its processor time, seconds
    double PeakMB = 0;   // its largest resident set
};

// Runs Args to its end, its standard error written to ErrPath and its output to OutPath (each
// thrown away when its path is empty).
inline TProcessRun RunProcess(const std::vector<std::string>& Args, const std::string& ErrPath = {},
                              const std::string& OutPath = {}) {
    TProcessRun R;
    std::vector<char*> Argv;
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, OutPath.empty() ? "/dev/null" : OutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, ErrPath.empty() ? "/dev/null" : ErrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t Child = 0;
    const int Spawned = posix_spawnp(&Child, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Spawned != 0) return R;
    int Status = 0;
    struct rusage Usage {};
    while (wait4(Child, &Status, 0, &Usage) < 0) {
    }
    auto Seconds = [](const timeval& T) { return double(T.tv_sec) + double(T.tv_usec) / 1e6; };
    R.Cpu = Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
    R.PeakMB = double(Usage.ru_maxrss) / 1024;
    R.Ok = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    return R;
}

// Runs Args to its end with its output thrown away and adds the processor time it took to Cpu;
// false when it could not start or failed.
inline bool RunOnce(const std::vector<std::string>& Args, double& Cpu) {
    const TProcessRun R = RunProcess(Args);
    Cpu += R.Cpu;
    return R.Ok;
}

// One run of Args per iteration after one that is not counted. The wall-clock time per run is
// the benchmark's; the processor time of the process, which the benchmark's own does not hold,
// is the counter cpu_ms.
inline void TimeProcess(benchmark::State& State, const std::vector<std::string>& Args) {
    double Cpu = 0;
    if (!RunOnce(Args, Cpu)) {
        State.SkipWithError((Args[0] + " did not run").c_str());
        return;
    }
    Cpu = 0;
    for (auto _ : State)
        if (!RunOnce(Args, Cpu)) State.SkipWithError((Args[0] + " failed").c_str());
    State.counters["cpu_ms"] = State.iterations() ? 1000 * Cpu / double(State.iterations()) : 0;
}
