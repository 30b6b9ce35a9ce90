// placeholder, written next
