[General]
# main settings
name = Demo
list = a, b ; two items
