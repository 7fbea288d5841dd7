"""A Tk text box for the keyboard output tests, speaking the protocol of
text_box_client.cpp: it announces its window, says when it has the keyboard
focus, and when F12 arrives prints the text of the keys typed since the last
F12 and what the box holds, both as hex of the UTF-8 bytes, then empties
itself. It ends when its input closes."""

import re
import sys
import tkinter


def main():
    root = tkinter.Tk()
    root.title("Tk text box")
    box = tkinter.Text(root, width=40, height=8)
    box.pack()
    typed = []

    def say(line):
        sys.stdout.write(line + "\n")
        sys.stdout.flush()

    def hexed(text):
        return text.encode("utf-8").hex()

    def key(event):
        if event.keysym == "F12":
            say("typed " + hexed("".join(typed)))
            say("box " + hexed(box.get("1.0", "end-1c")))
            typed.clear()
            box.delete("1.0", "end")
            return "break"
        function = re.fullmatch(r"F(\d+)", event.keysym)
        if function:
            typed.append("[F%s]" % function.group(1))
        typed.append(event.char)
        return None

    def stdin_ready(source, mask):
        if not sys.stdin.buffer.raw.read(256):
            root.quit()

    box.bind("<Key>", key)
    box.bind("<FocusIn>", lambda event: say("focused"))
    box.focus_set()
    root.wait_visibility(root)
    root.update()
    say("window %d" % int(root.wm_frame(), 16))
    root.createfilehandler(sys.stdin, tkinter.READABLE, stdin_ready)
    root.mainloop()


if __name__ == "__main__":
    main()
