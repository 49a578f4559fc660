"""The movies scripts/bench-avm1 times. Each times itself with getTimer()
and traces one line per figure, "NAME ms=N" (and "NAME frames=N" where the
work spans frames), so any player can run the same file and report its own
time."""
import avm1_asm
import swf_writer as w

# DefineFunction2 flags: no this, arguments or super.
BARE = 0x02 | 0x08 | 0x20


def _timed(name, body):
    """Runs `body`, then traces "NAME ms=<elapsed>"."""
    return """
push "t0", 0, "getTimer"
callFunction
setVariable
%s
push "%s ms=", 0, "getTimer"
callFunction
push "t0"
getVariable
subtract
add2
trace
""" % (body, name)


def _movie(frame_scripts, version=8, fps=30):
    tags = b""
    for script in frame_scripts:
        code = avm1_asm.assemble(script, version) + b"\0"
        tags += w.tag(12, code) + w.tag(1)
    tags += w.tag(0)
    return w.header(tags, 550, 400, fps, len(frame_scripts), version=version)


REGISTER_LOOP = _timed("registers", """
function2 "bench" () regs=4 flags=%d {
  push 0
  storeRegister 1
  storeRegister 2
  pop
  push 0.5
  storeRegister 3
  pop
loop:
  push r:1, 1000000
  less2
  not
  if done
  push r:2, r:1, 3
  multiply
  add2
  push 65535
  bitAnd
  storeRegister 2
  pop
  push r:3, 1.000001
  multiply
  push 0.5
  add2
  storeRegister 3
  pop
  push r:1
  increment
  storeRegister 1
  pop
  jump loop
done:
  push r:2
  return
}
push 0, "bench"
callFunction
pop
""" % BARE)

NAMED_LOOP = _timed("variables", """
push "i", 0
setVariable
push "acc", 0
setVariable
push "f", 0.5
setVariable
loop:
  push "i"
  getVariable
  push 1000000
  less2
  not
  if done
  push "acc", "acc"
  getVariable
  push "i"
  getVariable
  push 3
  multiply
  add2
  push 65535
  bitAnd
  setVariable
  push "f", "f"
  getVariable
  push 1.000001
  multiply
  push 0.5
  add2
  setVariable
  push "i", "i"
  getVariable
  increment
  setVariable
  jump loop
done:
""")

FIB = """
function2 "fib" (r1:n) regs=2 flags=%d {
  push r:1, 2
  less2
  not
  if recurse
  push r:1
  return
recurse:
  push r:1, 1
  subtract
  push 1, "fib"
  callFunction
  push r:1, 2
  subtract
  push 1, "fib"
  callFunction
  add2
  return
}
""" % BARE + _timed("fib25", """
push 25, 1, "fib"
callFunction
pop
""")

# o is a C, whose prototype chain runs C.prototype -> B.prototype ->
# A.prototype, which holds `x`.
PROTOTYPE_CHAIN = """
function "A" () {
}
function "B" () {
}
function "C" () {
}
push "B"
getVariable
push "prototype", 0, "A"
newObject
setMember
push "C"
getVariable
push "prototype", 0, "B"
newObject
setMember
push "A"
getVariable
push "prototype"
getMember
push "x", 1
setMember
push "o", 0, "C"
newObject
setVariable
""" + _timed("prototype", """
function2 "bench" (r1:o) regs=4 flags=%d {
  push 0
  storeRegister 2
  storeRegister 3
  pop
loop:
  push r:2, 100000
  less2
  not
  if done
  push r:1, "v", r:2
  setMember
  push r:3, r:1, "x"
  getMember
  add2
  push r:1, "v"
  getMember
  add2
  storeRegister 3
  pop
  push r:2
  increment
  storeRegister 2
  pop
  jump loop
done:
  push r:3
  return
}
push "o"
getVariable
push 1, "bench"
callFunction
pop
""" % BARE)

STRINGS = _timed("strings", """
function2 "bench" () regs=4 flags=%d {
  push ""
  storeRegister 1
  pop
  push 0
  storeRegister 2
  pop
loop:
  push r:2, 100000
  less2
  not
  if done
  push r:1, r:2
  add2
  push ","
  add2
  storeRegister 1
  pop
  push r:2
  increment
  storeRegister 2
  pop
  jump loop
done:
  push ",", 1, r:1, "split"
  callMethod
  storeRegister 3
  pop
  push ";", 1, r:3, "join"
  callMethod
  push "length"
  getMember
  return
}
push 0, "bench"
callFunction
pop
""" % BARE)

# Pseudo-random numbers from a script LCG, so every player sorts the same.
_FILL = """
function2 "fill" (r1:count, r2:objects) regs=6 flags=%d {
  push 0, "Array"
  newObject
  storeRegister 3
  pop
  push 12345
  storeRegister 4
  pop
  push 0
  storeRegister 5
  pop
loop:
  push r:5, r:1
  less2
  not
  if done
  push r:4, 1103515245
  multiply
  push 12345
  add2
  push 2147483647
  bitAnd
  storeRegister 4
  pop
  push r:2
  not
  if number
  push "k", r:4, 1
  initObject
  push 1, r:3, "push"
  callMethod
  pop
  jump next
number:
  push r:4, 1, r:3, "push"
  callMethod
  pop
next:
  push r:5
  increment
  storeRegister 5
  pop
  jump loop
done:
  push r:3
  return
}
""" % BARE

SORTS = _FILL + """
push "numbers", false, 100000, 2, "fill"
callFunction
setVariable
push "objects", true, 10000, 2, "fill"
callFunction
setVariable
""" + _timed("sort", """
push 16, 1, "numbers"
getVariable
push "sort"
callMethod
pop
""") + _timed("sortOn", """
push 16, "k", 2, "objects"
getVariable
push "sortOn"
callMethod
pop
""")

# 200,000 objects a frame that nothing keeps.
GARBAGE_FRAME = _timed("garbage", """
function2 "bench" () regs=3 flags=%d {
  push 0
  storeRegister 1
  pop
loop:
  push r:1, 200000
  less2
  not
  if done
  push "a", r:1, "b", "text", 2
  initObject
  storeRegister 2
  pop
  push r:1
  increment
  storeRegister 1
  pop
  jump loop
done:
}
push 0, "bench"
callFunction
pop
""" % BARE)

QUIT = """
getUrl "FSCommand:quit" ""
"""


def movies():
    """(name, bytes, frames to play) of each benchmark movie."""
    return [
        ("registers", _movie([REGISTER_LOOP + QUIT]), 1),
        ("variables", _movie([NAMED_LOOP + QUIT]), 1),
        ("fib25", _movie([FIB + QUIT]), 1),
        ("prototype", _movie([PROTOTYPE_CHAIN + QUIT]), 1),
        ("strings", _movie([STRINGS + QUIT]), 1),
        ("sort", _movie([SORTS + QUIT]), 1),
        ("garbage", _movie([GARBAGE_FRAME] * 59 + [GARBAGE_FRAME + QUIT]), 60),
    ]


if __name__ == "__main__":
    import os
    import sys
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data, frames in movies():
        with open(os.path.join(out, name + ".swf"), "wb") as f:
            f.write(data)
        print(name, frames)
