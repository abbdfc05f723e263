"""The sample-tree maker's parts; scripts/make_tree.py is the command."""
